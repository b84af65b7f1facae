#include "gbk.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace gbk {

QString decode(const QByteArray &bytes)
{
    QByteArrayView view(bytes);
    const qsizetype zero = view.indexOf('\0');
    if (zero >= 0)
        view = view.first(zero);
    // A lead byte cut off at the end would be held back for a continuation
    // that never comes; a trailing newline, which can never continue a
    // character, makes it come out as U+FFFD. The newline is dropped again.
    QByteArray terminated;
    terminated.reserve(view.size() + 1);
    terminated.append(view).append('\n');
    QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
    QString text = decoder.decode(terminated);
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text;
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
