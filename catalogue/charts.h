#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class Catalogue;
class SongListModel;

struct ChartEntry
{
    QString caption;
    int listId;
};

// The charts of the chart menu, in menu order.
const QList<ChartEntry> &chartMenu();

// Chart lists, the start-up mix and the category list.
class Charts : public QObject
{
    Q_OBJECT
public:
    // Draws an integer from low to high, both included.
    using RandomDraw = std::function<int(int low, int high)>;

    Charts(Catalogue &catalogue, SongListModel &songs, QObject *parent = nullptr);

    void loadChart(int listId);

    // Two charts with random ids (200..210, then 100..103) shown as one
    // list; both are requested before the first row is added.
    void loadStartupMix();

    // Asks the catalogue for its categories and announces them (an empty
    // list when it does not answer).
    void loadCategories();

    // Replaces the clock-seeded draw (tests pin the ids).
    void setRandomDraw(RandomDraw draw) { m_draw = std::move(draw); }

signals:
    // The categories for the keyword box, replacing what it held.
    void categoriesChanged(const QStringList &categories);

private:
    Catalogue &m_catalogue;
    SongListModel &m_songs;
    RandomDraw m_draw;
};
