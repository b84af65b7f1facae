#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// The catalogue speaks GBK. GB18030 is a lossless superset of it, so both
// directions go through Qt's GB18030 codec.
namespace gbk {

// Reply bytes as text: a zero byte ends the text, bytes that are not valid
// GBK become U+FFFD.
QString decode(const QByteArray &bytes);

QByteArray encode(const QString &text);

// Length of the text in GBK bytes: a Chinese character counts 2.
qsizetype byteLength(const QString &text);

// Decodes pieces cut out of a reply, one after another, with one converter.
// A piece is taken as a whole text: a lead byte cut off at its end comes out
// as U+FFFD, as it does at the end of a reply. Zero bytes are not looked at
// (pieces come from a reply that was already cut at its first zero byte).
//
// Pieces cut at bytes that never belong to a multi-byte character ("<",
// "$" and the like) decode to exactly the text that decoding the whole reply
// gives between those bytes.
class Decoder
{
public:
    Decoder();

    QString decode(QByteArrayView piece);

    // The first maxChars UTF-16 units of the piece's text (one fewer when the
    // last would split a surrogate pair), decoding only the bytes they need.
    QString decodePrefix(QByteArrayView piece, qsizetype maxChars);

private:
    QStringDecoder m_decoder;
    QByteArray m_buffer;
};

} // namespace gbk
