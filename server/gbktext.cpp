#include "gbktext.h"

#include <algorithm>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace gbk {

std::string toUtf8(std::string_view gbkBytes)
{
    // A lone lead byte at the very end would be swallowed silently by the
    // decoder (it waits for a trail byte that never comes). Appending a zero
    // byte forces it out as U+FFFD; the zero itself decodes to U+0000 and is
    // dropped again.
    QByteArray bytes(gbkBytes.data(), qsizetype(gbkBytes.size()));
    bytes.append('\0');
    QStringDecoder decoder("GB18030");
    QString text = decoder.decode(bytes);
    if (!text.isEmpty() && text.back() == QChar(u'\0'))
        text.chop(1);
    const QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), size_t(utf8.size()));
}

std::string fromUtf8(std::string_view utf8)
{
    QStringEncoder encoder("GB18030");
    const QByteArray bytes =
        encoder.encode(QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    return std::string(bytes.constData(), size_t(bytes.size()));
}

bool looksLikeUtf8(std::string_view bytes)
{
    const bool nonAscii = std::any_of(bytes.begin(), bytes.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (!nonAscii)
        return false;
    // Qt's decoder refuses overlong forms, surrogates, code points past
    // U+10FFFF and a sequence cut off at the end, and says so in its error
    // state. Stateless: a cut-off sequence counts as an error at once.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

} // namespace gbk
