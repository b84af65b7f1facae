#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVector>

// What a row names: the song's title (column 歌名) and singer (column 歌手).
struct ListedSong
{
    QString title;
    QString singer;
};

// The rows of the song list: number, title, singer, all plain texts. This is
// the only record of what a search or chart load found.
class SongListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NumberColumn = 0, TitleColumn = 1, SingerColumn = 2 };

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends one row per catalogue name of the reply, numbered from
    // offset + 1, with placeholder as the title of names without one.
    // Returns the number of rows added; never clears the list.
    int fillSongList(const QString &reply, int offset, const QString &placeholder);

    void clear();

    // The text of a cell; empty for a row or column that does not exist.
    QString cell(int row, int column) const;

    // The title and singer of a row; empty texts for a row that does not exist.
    ListedSong song(int row) const { return {cell(row, TitleColumn), cell(row, SingerColumn)}; }

    // Rows written by the latest fill that added rows.
    int songCount() const { return m_songCount; }

private:
    struct Row
    {
        QString number;
        QString title;
        QString singer;
    };
    QVector<Row> m_rows;
    int m_songCount = 0;
};
