#include "gbktext.h"

#include <QByteArray>
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
    bool nonAscii = false;
    size_t i = 0;
    while (i < bytes.size()) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        size_t extra = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
        } else {
            return false;
        }
        if (i + extra >= bytes.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80)
                return false;
        }
        nonAscii = true;
        i += extra + 1;
    }
    return nonAscii;
}

} // namespace gbk
