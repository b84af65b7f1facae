#pragma once

#include <QList>
#include <QString>

#include <functional>

class Catalogue;
class QComboBox;
class SongListModel;

struct ChartEntry
{
    QString caption;
    int listId;
};

// The charts of the chart menu, in menu order.
const QList<ChartEntry> &chartMenu();

// Chart lists, the start-up mix and the category list.
class Charts
{
public:
    // Draws an integer from low to high, both included.
    using RandomDraw = std::function<int(int low, int high)>;

    Charts(Catalogue &catalogue, SongListModel &songs, QComboBox &keywordBox);

    void loadChart(int listId);

    // Two charts with random ids (200..210, then 100..103) shown as one
    // list; both are requested before the first row is added.
    void loadStartupMix();

    // Fills the keyword box with the catalogue's categories.
    void loadCategories();

    // Replaces the clock-seeded draw (tests pin the ids).
    void setRandomDraw(RandomDraw draw) { m_draw = std::move(draw); }

private:
    Catalogue &m_catalogue;
    SongListModel &m_songs;
    QComboBox &m_keywordBox;
    RandomDraw m_draw;
};
