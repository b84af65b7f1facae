#include "gbk.h"

#include <QStringEncoder>

#include <cstring>

namespace gbk {

namespace {

bool isAscii(QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype n = bytes.size();
    for (; n >= 8; p += 8, n -= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    return true;
}

// Pieces up to this size reuse the decoder's buffer; longer ones (a hostile
// name) get a buffer of their own that is freed at once.
constexpr qsizetype kKeptBuffer = 64 * 1024;

} // namespace

Decoder::Decoder()
    // Stateless: the converter keeps nothing between pieces. Carrying state
    // over would join a lead byte left at the end of one piece with the first
    // byte of the next.
    : m_decoder("GB18030", QStringConverter::Flag::Stateless)
{
}

QString Decoder::decode(QByteArrayView piece)
{
    if (piece.isEmpty())
        return {};
    // GB18030 maps bytes below 0x80 to themselves.
    if (isAscii(piece))
        return QString::fromLatin1(piece.data(), piece.size());
    // A lead byte cut off at the end would be held back for a continuation
    // that never comes; a trailing newline, which can never continue a
    // character, makes it come out as U+FFFD. The newline is dropped again.
    QByteArray local;
    QByteArray &terminated = piece.size() < kKeptBuffer ? m_buffer : local;
    terminated.resize(0);
    terminated.reserve(piece.size() + 1);
    terminated.append(piece).append('\n');
    QString text = m_decoder.decode(terminated);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
}

QString Decoder::decodePrefix(QByteArrayView piece, qsizetype maxChars)
{
    if (maxChars <= 0)
        return {};
    // No character takes more than four bytes, and the converter decides
    // each one by at most four bytes ahead, so the units that are kept come
    // out exactly as they would from the whole piece.
    const qsizetype enough = maxChars * 4 + 8;
    QString text = decode(piece.size() > enough ? piece.first(enough) : piece);
    if (text.size() > maxChars) {
        qsizetype cut = maxChars;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

QString decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    const qsizetype zero = view.indexOf('\0');
    if (zero >= 0)
        view = view.first(zero);
    return Decoder().decode(view);
}

QByteArray encode(const QString &text)
{
    QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

qsizetype byteLength(const QString &text)
{
    qsizetype n = 0;
    for (const QChar c : text)
        if (c.unicode() < 0x80)
            ++n;
    // Fast path: plain ASCII text needs no encoding.
    if (n == text.size())
        return n;
    return encode(text).size();
}

} // namespace gbk
