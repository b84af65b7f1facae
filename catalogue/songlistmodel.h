#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QVector>

#include "gbk.h"

// What a row names: the song's title (column 歌名) and singer (column 歌手).
struct ListedSong
{
    QString title;
    QString singer;
};

// The rows of the song list: number, title, singer, all plain texts. This is
// the only record of what a search or chart load found.
//
// Rows are kept compactly: the singer and title of every row stay GBK bytes
// in one buffer and are decoded when a cell is read; the row number is worked
// out from the fill that added the row; the title placeholder is kept once
// per fill. A row costs 16 bytes beside its texts.
class SongListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NumberColumn = 0, TitleColumn = 1, SingerColumn = 2 };

    // The display and tooltip text of a cell is cut after this many
    // characters, so that no name, however long, slows down painting; cell()
    // gives the whole text. Laying out a cell costs time per character, most
    // for text that changes script from character to character; 128 keeps a
    // repaint of the list within a frame for any text and is still more
    // than the widest column can show.
    static constexpr int kShownChars = 128;

    using QAbstractTableModel::QAbstractTableModel;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Appends one row per catalogue name of the reply, numbered from
    // offset + 1, with placeholder as the title of names without one.
    // Returns the number of rows added; never clears the list.
    int fillSongList(const QString &reply, int offset, const QString &placeholder);

    // The same for a reply as it arrived: raw GBK bytes, read up to the
    // first zero byte. The names are found on the bytes; only what a cell
    // shows is ever decoded.
    int fillSongList(const QByteArray &replyBytes, int offset, const QString &placeholder);

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
        qsizetype text;      // offset of the singer's bytes in m_text; the title's follow
        quint32 singerSize;  // in bytes
        quint32 titleSize;   // in bytes; 0 shows the fill's placeholder
    };
    struct Fill
    {
        int firstRow;
        int offset;
        QString placeholder;
    };

    template <typename ForEachName>
    int appendRows(qsizetype names, qsizetype textBytes, int offset, const QString &placeholder,
                   ForEachName &&forEachName);
    const Fill &fillOf(int row) const;
    // The whole text with maxChars < 0, else at most maxChars of it.
    QString text(int row, int column, qsizetype maxChars) const;
    QString decodeText(qsizetype at, quint32 size, qsizetype maxChars) const;

    QVector<Row> m_rows;
    QByteArray m_text;
    QVector<Fill> m_fills;
    int m_songCount = 0;
    mutable gbk::Decoder m_decoder;
};
