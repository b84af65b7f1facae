#include "songsearch.h"

#include "catalogue.h"
#include "dialogs.h"
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

SongSearch::SongSearch(Catalogue &catalogue, SongListModel &songs, Dialogs &dialogs, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_songs(songs), m_dialogs(dialogs)
{
}

void SongSearch::runSearch(const QString &text)
{
    if (text.isEmpty()) {
        m_dialogs.message(QStringLiteral("错误"), QStringLiteral("搜索内容不能为空."), Dialogs::Icon::None);
        return;
    }
    m_songs.clear();
    const QByteArray reply = m_catalogue.fetchCatalogueBytes(wire::searchPath(text));
    m_songs.fillSongList(reply, 0, wire::kSearchPlaceholder);
}

void SongSearch::chooseKeyword(const QString &text)
{
    emit searchTextChanged(text);
    if (gbk::byteLength(text) > 1)
        runSearch(text);
}

void SongSearch::rowSelected(int row)
{
    const ListedSong song = m_songs.song(row);
    if (gbk::byteLength(song.title) <= 1)
        return;
    emit searchTextChanged(song.singer + QStringLiteral(" - ") + song.title);
}
