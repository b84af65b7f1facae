#include "songaddress.h"

#include "catalogue.h"
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

SongAddress songAddressFromReply(const QString &reply)
{
    SongAddress a;
    a.encodeText = wire::textBetween(reply, QStringLiteral("<encode>"), QStringLiteral("</encode>"));
    a.decodeText = wire::textBetween(reply, QStringLiteral("<decode>"), QStringLiteral("</decode>"));
    const qsizetype slash = a.encodeText.lastIndexOf(QLatin1Char('/'));
    a.encodeLastSegment = slash < 0 ? a.encodeText : a.encodeText.mid(slash + 1);
    a.address = a.encodeText;
    if (a.encodeLastSegment.isEmpty()) {
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

QString localBaseName(const QString &path)
{
    const qsizetype separator = qMax(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    const QString name = path.mid(separator + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.left(dot);
}

SongResolver::SongResolver(Catalogue &catalogue, const SongListModel &songs)
    : m_catalogue(catalogue), m_songs(songs)
{
}

QString SongResolver::buildSongKey(int row)
{
    if (gbk::byteLength(m_songs.cell(row, SongListModel::SingerColumn)) <= 1)
        return {};
    return songKeyOf(row);
}

QString SongResolver::songKeyOf(int row)
{
    m_currentSongKey = wire::songKey(m_songs.cell(row, SongListModel::SingerColumn),
                                     m_songs.cell(row, SongListModel::TitleColumn));
    return m_currentSongKey;
}

QString SongResolver::fetchSongReply(const QString &songKey)
{
    m_addressReply = m_catalogue.fetchCatalogueText(wire::songAddressPath(songKey));
    return m_addressReply;
}

QString SongResolver::songAddressFromReply(const QString &reply)
{
    m_address = ::songAddressFromReply(reply);
    return m_address.address;
}
