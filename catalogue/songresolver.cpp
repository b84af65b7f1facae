#include "songresolver.h"

#include "catalogue.h"
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QUrl>

SongAddress songAddressFromReply(const QString &reply)
{
    SongAddress a;
    a.encodeText = wire::textBetween(reply, QStringLiteral("<encode>"), QStringLiteral("</encode>"));
    a.decodeText = wire::textBetween(reply, QStringLiteral("<decode>"), QStringLiteral("</decode>"));
    const qsizetype slash = a.encodeText.lastIndexOf(QLatin1Char('/'));
    a.encodeLastSegment = slash < 0 ? a.encodeText : a.encodeText.mid(slash + 1);
    a.address = a.encodeText;
    if (a.encodeText.isEmpty()) {
        // No encode field (or a failed request): no address, whatever the
        // decode field says.
    } else if (a.encodeLastSegment.isEmpty()) {
        // An encode text ending in "/" names a folder: the file name goes
        // after it.
        a.address += a.decodeText;
    } else {
        // One replacement, at the first occurrence from the start.
        const qsizetype at = a.address.indexOf(a.encodeLastSegment, 0, Qt::CaseSensitive);
        a.address.replace(at, a.encodeLastSegment.size(), a.decodeText);
    }
    return a;
}

bool isWebAddress(const QString &address)
{
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

SongResolver::SongResolver(Catalogue &catalogue, const SongListModel &songs)
    : m_catalogue(catalogue), m_songs(songs)
{
}

std::optional<QString> SongResolver::buildSongKey(int row) const
{
    if (gbk::byteLength(m_songs.song(row).singer) <= 1)
        return std::nullopt;
    return songKeyOf(row);
}

QString SongResolver::songKeyOf(int row) const
{
    const ListedSong song = m_songs.song(row);
    return wire::songKey(song.singer, song.title);
}

ResolvedSong SongResolver::resolveKey(const QString &songKey)
{
    ResolvedSong resolved;
    resolved.songKey = songKey;
    resolved.addressReply = m_catalogue.fetchCatalogueText(wire::songAddressPath(songKey));
    resolved.address = songAddressFromReply(resolved.addressReply);
    resolved.lyricsId = wire::textBetween(resolved.addressReply, QStringLiteral("<lrcid>"), QStringLiteral("</lrcid>"));
    m_last = {resolved.songKey, resolved.addressReply};
    return resolved;
}

std::optional<ResolvedSong> SongResolver::resolveRow(int row)
{
    const std::optional<QString> key = buildSongKey(row);
    if (!key)
        return std::nullopt;
    return resolveKey(*key);
}
