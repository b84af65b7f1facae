#include "charts.h"

#include "catalogue.h"
#include "songlistmodel.h"
#include "wire.h"

#include <QDateTime>
#include <QRandomGenerator>

const QList<ChartEntry> &chartMenu()
{
    static const QList<ChartEntry> charts = {
        {QStringLiteral("轻声音乐"), 5},     {QStringLiteral("相声曲艺"), 6},
        {QStringLiteral("少儿歌曲"), 7},     {QStringLiteral("中国民乐"), 8},
        {QStringLiteral("欧美金曲"), 112},   {QStringLiteral("热门对唱"), 103},
        {QStringLiteral("影视金曲"), 100},   {QStringLiteral("校园民谣"), 106},
        {QStringLiteral("经典老歌"), 102},   {QStringLiteral("流金岁月"), 107},
        {QStringLiteral("分类试听"), 17},    {QStringLiteral("新歌TOP100"), 2},
        {QStringLiteral("中文金曲榜"), 1},   {QStringLiteral("歌曲TOP500"), 3},
        {QStringLiteral("流行DJ舞曲"), 4},   {QStringLiteral("日韩流行风"), 113},
        {QStringLiteral("摇滚歌曲榜"), 110},
    };
    return charts;
}

Charts::Charts(Catalogue &catalogue, SongListModel &songs, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_songs(songs)
{
}

void Charts::loadChart(int listId)
{
    m_songs.clear();
    const QByteArray reply = m_catalogue.fetchCatalogueBytes(wire::chartPath(listId));
    m_songs.fillSongList(reply, 0, wire::kSearchPlaceholder);
}

void Charts::loadStartupMix()
{
    const Catalogue::Action action(m_catalogue);
    m_songs.clear();
    RandomDraw draw = m_draw;
    if (!draw) {
        // Reseeded from the clock at every mix, so refresh shows a new mix.
        auto rng = std::make_shared<QRandomGenerator>(quint32(QDateTime::currentMSecsSinceEpoch()));
        draw = [rng](int low, int high) { return int(rng->bounded(low, high + 1)); };
    }
    const QByteArray first = m_catalogue.fetchCatalogueBytes(wire::chartPath(draw(200, 210)));
    const QByteArray second = m_catalogue.fetchCatalogueBytes(wire::chartPath(draw(100, 103)));
    const int added = m_songs.fillSongList(first, 0, wire::kMixPlaceholder);
    m_songs.fillSongList(second, added, wire::kMixPlaceholder);
}

void Charts::loadCategories()
{
    const QByteArray reply = m_catalogue.fetchCatalogueBytes(wire::categoryPath());
    emit categoriesChanged(wire::categoryNamesFromBytes(reply));
}
