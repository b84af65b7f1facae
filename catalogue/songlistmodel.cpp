#include "songlistmodel.h"

#include "wire.h"

int SongListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SongListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant SongListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() == NumberColumn)
        return int(Qt::AlignCenter);
    return {};
}

QVariant SongListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NumberColumn: return QStringLiteral("序号");
    case TitleColumn: return QStringLiteral("歌名");
    case SingerColumn: return QStringLiteral("歌手");
    }
    return {};
}

int SongListModel::fillSongList(const QString &reply, int offset, const QString &placeholder)
{
    const QStringList names = wire::catalogueNames(reply);
    if (names.isEmpty())
        return 0;
    const int first = int(m_rows.size());
    // One insertion for the whole reply keeps a large fill from relaying out
    // the view once per row.
    beginInsertRows({}, first, first + int(names.size()) - 1);
    m_rows.reserve(m_rows.size() + names.size());
    int k = 0;
    for (const QString &name : names) {
        ++k;
        const wire::NameParts parts = wire::nameParts(name);
        m_rows.append({QString::number(offset + k), parts.title.isEmpty() ? placeholder : parts.title,
                       parts.singer});
    }
    m_songCount = offset + k;
    endInsertRows();
    return k;
}

void SongListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

QString SongListModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row &r = m_rows[row];
    switch (column) {
    case NumberColumn: return r.number;
    case TitleColumn: return r.title;
    case SingerColumn: return r.singer;
    }
    return {};
}
