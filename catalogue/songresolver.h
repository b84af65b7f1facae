#pragma once

#include <QString>

#include <optional>

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

// Whether an address from the catalogue may be used: only http and https
// addresses are played, downloaded or opened, never a local path, file:,
// fd: or another scheme that a reply might name.
bool isWebAddress(const QString &address);

// One answered song address request: the key that was sent, the reply as
// text, the address combined from it and the lyrics id it names.
struct ResolvedSong
{
    QString songKey;
    QString addressReply;
    SongAddress address;
    QString lyricsId; // the text between <lrcid> and </lrcid>, as received
};

// The latest song address request of any user (listening, the automatic
// switch, downloads, lyrics): whoever resolves last overwrites it.
struct LastSongRequest
{
    QString currentSongKey;
    QString addressReply;
};

// Turns a row of the song list into a song key and asks the catalogue for
// that song. Each call returns its own result; only the small record of the
// latest request is shared.
class SongResolver
{
public:
    SongResolver(Catalogue &catalogue, const SongListModel &songs);

    // The key of the row, or nothing when its singer is at most one byte
    // long (no row included).
    std::optional<QString> buildSongKey(int row) const;
    // The key of the row without the singer-length check (the automatic
    // switch sends whatever row it lands on).
    QString songKeyOf(int row) const;

    // Sends the song address request for the key and reads the reply.
    ResolvedSong resolveKey(const QString &songKey);
    // buildSongKey, then resolveKey; nothing when the row has no key.
    std::optional<ResolvedSong> resolveRow(int row);

    const LastSongRequest &lastRequest() const { return m_last; }

private:
    Catalogue &m_catalogue;
    const SongListModel &m_songs;
    LastSongRequest m_last;
};
