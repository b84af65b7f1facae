#include "songlistmodel.h"

#include "replyscan.h"
#include "wire.h"

#include <QStringEncoder>

#include <algorithm>
#include <limits>

namespace {

// Name parts longer than this (4 GiB) do not fit a row; replies are capped
// far below it, so this only keeps the arithmetic sound.
constexpr qsizetype kMaxPart = std::numeric_limits<quint32>::max();

} // namespace

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
        return text(index.row(), index.column(), kShownChars);
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

// Adds names rows whose singer and title bytes (textBytes in all) are handed
// out by forEachName(append), append(singerBytes, titleBytes) once per row.
template <typename ForEachName>
int SongListModel::appendRows(qsizetype names, qsizetype textBytes, int offset, const QString &placeholder,
                              ForEachName &&forEachName)
{
    if (names <= 0)
        return 0;
    const int first = int(m_rows.size());
    // One insertion for the whole reply keeps a large fill from relaying out
    // the view once per row.
    beginInsertRows({}, first, first + int(names) - 1);
    m_rows.reserve(m_rows.size() + names);
    m_text.reserve(m_text.size() + textBytes);
    forEachName([this](QByteArrayView singer, QByteArrayView title) {
        singer = singer.first(std::min(singer.size(), kMaxPart));
        title = title.first(std::min(title.size(), kMaxPart));
        m_rows.append({m_text.size(), quint32(singer.size()), quint32(title.size())});
        m_text.append(singer).append(title);
    });
    m_fills.append({first, offset, placeholder});
    m_songCount = offset + int(names);
    endInsertRows();
    return int(names);
}

int SongListModel::fillSongList(const QByteArray &replyBytes, int offset, const QString &placeholder)
{
    const QByteArrayView reply(replyBytes);
    // Counted first so that the rows and their texts are allocated once, at
    // their final size.
    qsizetype textBytes = 0;
    const qsizetype names = wire::scan::forEachCatalogueName(reply, [&](qsizetype begin, qsizetype end) {
        const wire::NamePartBytes parts = wire::namePartBytes(reply.sliced(begin, end - begin));
        textBytes += parts.singer.size() + parts.title.size();
    });
    if (names > std::numeric_limits<int>::max() - m_rows.size())
        return 0;
    return appendRows(names, textBytes, offset, placeholder, [&](auto &&append) {
        wire::scan::forEachCatalogueName(reply, [&](qsizetype begin, qsizetype end) {
            const wire::NamePartBytes parts = wire::namePartBytes(reply.sliced(begin, end - begin));
            append(parts.singer, parts.title);
        });
    });
}

int SongListModel::fillSongList(const QString &reply, int offset, const QString &placeholder)
{
    // Text that is already decoded is read with the text rules and its name
    // parts stored as GBK like those of a byte reply.
    const QStringList names = wire::catalogueNames(reply);
    QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    QList<QByteArray> parts;
    parts.reserve(names.size() * 2);
    qsizetype textBytes = 0;
    for (const QString &name : names) {
        const wire::NameParts p = wire::nameParts(name);
        parts.append(encoder.encode(p.singer));
        parts.append(encoder.encode(p.title));
        textBytes += parts[parts.size() - 2].size() + parts.back().size();
    }
    return appendRows(names.size(), textBytes, offset, placeholder, [&](auto &&append) {
        for (qsizetype k = 0; k + 1 < parts.size(); k += 2)
            append(parts[k], parts[k + 1]);
    });
}

void SongListModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    // Assigned rather than cleared, so that the memory of a large list is
    // given back.
    m_rows = {};
    m_text = {};
    m_fills = {};
    endResetModel();
}

const SongListModel::Fill &SongListModel::fillOf(int row) const
{
    // The last fill whose first row is at or before row.
    const auto after = std::upper_bound(m_fills.cbegin(), m_fills.cend(), row,
                                        [](int r, const Fill &f) { return r < f.firstRow; });
    return *(after - 1);
}

QString SongListModel::text(int row, int column, qsizetype maxChars) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    const Row &r = m_rows[row];
    switch (column) {
    case NumberColumn: {
        const Fill &fill = fillOf(row);
        return QString::number(qint64(fill.offset) + (row - fill.firstRow) + 1);
    }
    case TitleColumn:
        if (r.titleSize == 0) {
            const QString &placeholder = fillOf(row).placeholder;
            return maxChars >= 0 && placeholder.size() > maxChars ? placeholder.left(maxChars) : placeholder;
        }
        return decodeText(r.text + r.singerSize, r.titleSize, maxChars);
    case SingerColumn:
        return decodeText(r.text, r.singerSize, maxChars);
    }
    return {};
}

QString SongListModel::decodeText(qsizetype at, quint32 size, qsizetype maxChars) const
{
    const QByteArrayView bytes = QByteArrayView(m_text).sliced(at, size);
    return maxChars < 0 ? m_decoder.decode(bytes) : m_decoder.decodePrefix(bytes, maxChars);
}

QString SongListModel::cell(int row, int column) const
{
    return text(row, column, -1);
}
