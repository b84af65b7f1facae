#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

// The catalogue's wire format: request paths and the literal-tag rules by
// which replies are read. Replies are never parsed as XML.
namespace wire {

// The ordered pieces of text cut at every occurrence of sep (exact,
// case-sensitive). Adjacent separators give empty pieces; an empty text
// gives no pieces.
QStringList splitAt(const QString &text, const QString &sep);

// The text after the first start marker up to the first end marker after
// it, comparing ASCII letters without regard to case. Empty when either
// marker is missing.
QString textBetween(const QString &text, const QString &start, const QString &end);

// Every "<name>" element of a search or chart reply, in order. Tags match
// case-sensitively; an element without "</name>" runs to the next "<name>"
// or the end of the reply.
QStringList catalogueNames(const QString &reply);

// The category names of a category reply: the name element found before
// each "<data>" (empty when there is none).
QStringList categoryNames(const QString &reply);

struct NameParts
{
    QString singer; // part 1
    QString title;  // part 2, empty when the name has no second part
};

// The "$$"-separated parts of a catalogue name. A name without "$$" is all
// singer and has no title.
NameParts nameParts(const QString &name);

// Replies as they arrive: raw GBK bytes. Each function gives what the text
// function of the same rule gives for gbk::decode(reply) (a zero byte ends
// the text, bad bytes become U+FFFD), but finds the markers on the bytes and
// decodes only the texts it returns.

// The bytes of a reply's text: up to its first zero byte.
QByteArrayView replyText(QByteArrayView reply);

// Every "<name>" element of a search or chart reply, as the element split
// reads it (see catalogueNames), as undecoded views into reply.
QList<QByteArrayView> catalogueNameBytes(QByteArrayView reply);

struct NamePartBytes
{
    QByteArrayView singer; // part 1
    QByteArrayView title;  // part 2, empty when the name has no second part
};

// nameParts on the undecoded bytes of one name.
NamePartBytes namePartBytes(QByteArrayView name);

// categoryNames of the reply's text.
QStringList categoryNamesFromBytes(QByteArrayView reply);

// textBetween of the reply's text, decoded. start and end are GBK bytes;
// markers that begin with "<" (every marker of the protocol) are found on
// the bytes, others through the decoded text.
QString textBetweenBytes(QByteArrayView reply, QByteArrayView start, QByteArrayView end);

// Title placeholders written into the list for an empty title.
inline const QString kSearchPlaceholder = QStringLiteral("栖木网络");
inline const QString kMixPlaceholder = QStringLiteral("沐弦软件");

// The key that identifies a song in the song address request.
QString songKey(const QString &singer, const QString &title);

// Request paths (appended to the catalogue base address), as GBK bytes.
QByteArray searchPath(const QString &text);
QByteArray chartPath(int listId);
QByteArray categoryPath();
QByteArray songAddressPath(const QString &songKey);
// The lyrics folder is the integer part of id / 100.
QByteArray lyricsPath(const QString &lyricsId);

} // namespace wire
