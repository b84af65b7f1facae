#include "songsearch.h"

#include "catalogue.h"
#include "dialogs.h"
#include "gbk.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QLineEdit>

SongSearch::SongSearch(Catalogue &catalogue, SongListModel &songs, QLineEdit &searchBox,
                       Dialogs &dialogs, QWidget *dialogParent)
    : m_catalogue(catalogue), m_songs(songs), m_searchBox(searchBox), m_dialogs(dialogs),
      m_dialogParent(dialogParent)
{
}

void SongSearch::runSearch()
{
    if (m_searchBox.text().isEmpty()) {
        m_dialogs.message(m_dialogParent, QStringLiteral("错误"), QStringLiteral("搜索内容不能为空."),
                          Dialogs::Icon::None);
        return;
    }
    m_songs.clear();
    const QString reply = m_catalogue.fetchCatalogueText(wire::searchPath(m_searchBox.text()));
    m_songs.fillSongList(reply, 0, wire::kSearchPlaceholder);
}

void SongSearch::chooseKeyword(const QString &text)
{
    m_searchBox.setText(text);
    if (gbk::byteLength(text) > 1)
        runSearch();
}

void SongSearch::rowSelected(int row)
{
    const QString title = m_songs.cell(row, SongListModel::TitleColumn);
    if (gbk::byteLength(title) <= 1)
        return;
    m_searchBox.setText(m_songs.cell(row, SongListModel::SingerColumn) + QStringLiteral(" - ") + title);
}
