#pragma once

#include <QString>

class Catalogue;
class SongListModel;

// The two halves of a song address reply and the playable address made of
// them: the reply's encode text with its last path segment replaced by the
// decode text.
struct SongAddress
{
    QString encodeText;
    QString decodeText;
    QString encodeLastSegment;
    QString address;
};

SongAddress songAddressFromReply(const QString &reply);

// The text after the last path separator ("\" or "/"), up to its last ".";
// empty when the name has no ".".
QString localBaseName(const QString &path);

// Turns a row of the song list into a song key, asks the catalogue for that
// song and keeps what it answered. The latest key, reply and address parts
// are shared by listening, the automatic switch, downloads and lyrics.
class SongResolver
{
public:
    SongResolver(Catalogue &catalogue, const SongListModel &songs);

    // The key of the row, or empty text when its singer is at most one byte
    // long (no row included). Remembers the key.
    QString buildSongKey(int row);
    // The key of the row without the singer-length check (the automatic
    // switch sends whatever row it lands on). Remembers the key.
    QString songKeyOf(int row);

    // Sends the song address request and remembers the reply.
    QString fetchSongReply(const QString &songKey);
    // Reads encode and decode from the reply and remembers them.
    QString songAddressFromReply(const QString &reply);

    const QString &currentSongKey() const { return m_currentSongKey; }
    const QString &addressReply() const { return m_addressReply; }
    const SongAddress &lastAddress() const { return m_address; }

private:
    Catalogue &m_catalogue;
    const SongListModel &m_songs;
    QString m_currentSongKey;
    QString m_addressReply;
    SongAddress m_address;
};
