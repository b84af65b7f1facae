// The song list model under a list view like the window's: hostile replies
// with enormous names must not make painting slow.
#include "songlistmodel.h"
#include "wire.h"

#include <QTreeView>
#include <QtTest>

#include <time.h>

class SongListViewTest : public QObject
{
    Q_OBJECT
private slots:
    void hugeNamesPaintQuickly_data();
    void hugeNamesPaintQuickly();
};

namespace {

// Set up as the main window sets up its song list.
void setUpLikeTheWindow(QTreeView &view)
{
    view.setStyleSheet(QStringLiteral(
        "QTreeView { background: rgb(14,18,25); alternate-background-color: rgb(18,23,31); }"
        "QTreeView::item { height: 18px; border: none; }"
        "QTreeView::item:hover { background: rgb(26,36,48); }"));
    QFont font;
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    view.setFont(font);
    view.setRootIsDecorated(false);
    view.setUniformRowHeights(true);
    view.setAllColumnsShowFocus(true);
    view.setAlternatingRowColors(true);
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view.setHeaderHidden(true);
    view.setColumnWidth(SongListModel::NumberColumn, 40);
    view.setColumnWidth(SongListModel::TitleColumn, 150);
    view.setColumnWidth(SongListModel::SingerColumn, 355);
    view.resize(565, 212);
}

QByteArray name(qsizetype bytes)
{
    // Chinese and ASCII, singer and title of about equal length.
    const QByteArray half = QByteArray("\xd6\xdc" "a").repeated(bytes / 6);
    return "<name>" + half + "$$" + half + "</name>";
}

// CPU time of this thread, so that waiting for a core on a busy machine does
// not count.
qint64 threadMs()
{
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

} // namespace

void SongListViewTest::hugeNamesPaintQuickly_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("nameBytes");
    QTest::newRow("15 names of 1 MiB") << 15 << (1 << 20);
    QTest::newRow("one name of 15 MiB") << 1 << (15 << 20);
}

void SongListViewTest::hugeNamesPaintQuickly()
{
    QFETCH(int, rows);
    QFETCH(int, nameBytes);
    const QByteArray reply = name(nameBytes).repeated(rows);
    SongListModel list;
    QTreeView view;
    setUpLikeTheWindow(view);
    view.setModel(&list);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    QCOMPARE(list.fillSongList(reply, 0, wire::kSearchPlaceholder), rows);

    // A frame is the goal (measured in bench_parse); the bound here is loose
    // for shared machines and sanitizer builds, yet far below the tens of
    // seconds a repaint takes when whole names reach the painter.
    const qint64 boundMs = 1000;
    // The first paint also loads fonts and fills glyph caches.
    QVERIFY(!view.viewport()->grab().isNull());
    for (int k = 0; k < 3; ++k) {
        // A hover over another row, then a full repaint.
        QTest::mouseMove(view.viewport(), QPoint(200, 9 + 18 * (k % rows)));
        const qint64 start = threadMs();
        const QPixmap frame = view.viewport()->grab();
        const qint64 ms = threadMs() - start;
        QVERIFY(!frame.isNull());
        QVERIFY2(ms < boundMs, qPrintable(QStringLiteral("repaint took %1 ms").arg(ms)));
    }
    // The whole text is still there for the song key.
    QCOMPARE(list.cell(0, SongListModel::SingerColumn).size(), nameBytes / 6 * 2);
}

QTEST_MAIN(SongListViewTest)
#include "tst_songlistview.moc"
