#pragma once

#include <QByteArray>
#include <QString>

// The catalogue speaks GBK. GB18030 is a lossless superset of it, so both
// directions go through Qt's GB18030 codec.
namespace gbk {

// Reply bytes as text: a zero byte ends the text, bytes that are not valid
// GBK become U+FFFD.
QString decode(const QByteArray &bytes);

QByteArray encode(const QString &text);

// Length of the text in GBK bytes: a Chinese character counts 2.
qsizetype byteLength(const QString &text);

} // namespace gbk
