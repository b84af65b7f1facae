// The real main window under the offscreen platform, against a scripted
// catalogue on 127.0.0.1 and fakes at the other platform seams.
#include "charts.h"
#include "gbk.h"
#include "mainwindow.h"
#include "offscreen.h"
#include "picturelabel.h"
#include "placement.h"
#include "playoptions.h"
#include "songlistmodel.h"
#include "transparentlabel.h"
#include "windowservices.h"

#include <QAccessible>
#include <QAction>
#include <QBitmap>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

#include <cmath>
#include <functional>

namespace {

QByteArray gbkBytes(const char *utf8)
{
    return gbk::encode(QString::fromUtf8(utf8));
}

// Replies by request: two mix charts, the category list, one chart and a
// search, all in GBK.
FixtureReply catalogueReply(const QByteArray &target)
{
    FixtureReply reply;
    reply.contentType = "text/plain; charset=GBK";
    if (target == "/x?op=22&listid=2") {
        reply.body = gbkBytes("<result><name>新歌手$$新歌$$$$</name><name>无名$$$$</name></result>");
    } else if (target.startsWith("/x?op=22&listid=20") || target.startsWith("/x?op=22&listid=210")) {
        reply.body = gbkBytes("<result><count>2</count><name>甲$$一$$$$</name><name>乙$$$$</name></result>");
    } else if (target.startsWith("/x?op=22&listid=10")) {
        reply.body = gbkBytes("<result><name>丙$$三$$$$</name></result>");
    } else if (target == "/x?op=3&list_cat=5") {
        reply.body = gbkBytes("<r><cat><name>流行</name><data>1</data></cat><cat><name>A</name><data>2</data>"
                              "</cat><cat><data>3</data></cat></r>");
    } else if (target.startsWith("/x?op=7&")) {
        reply.body = gbkBytes("<result><name>歌手一$$歌一$$$$</name><name>歌手二$$$$</name>"
                              "<name>Singer$$X$$$$</name></result>");
    } else {
        reply.status = 404;
    }
    return reply;
}

struct Control
{
    const char *name;
    QRect geometry;
    const char *text;
    QColor colour;
};

} // namespace

class MainWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startupFillsListAndKeywordsInOrder();
    void controlsStandAtTheirPlaces_data();
    void controlsStandAtTheirPlaces();
    void skinRedPixelsAreHoles();
    void screenReaderHearsEveryControl();
    void headerCaptionsNameTheirColumns();
    void searchCaptionsStandOutFromTheSkin();
    void startPosition_data();
    void startPosition();
    void skinIsDrawnAtTheScreensDensity();
    void menusStartInTheirStates();
    void emptySearchIsRefused();
    void searchSendsTheTextAsTypedAndFillsRows();
    void keywordChoice_data();
    void keywordChoice();
    void selectingARowWritesTheSearchBox();
    void chartMenuAndRefresh();
    void playOptions_data();
    void playOptions();
    void playOptionsStartFromExactValues_data();
    void playOptionsStartFromExactValues();
    void hoverColours();
    void rightPressesOpenTheirMenus();
    void minimiseHidesToTrayAndComesBackCentred();
    void withoutATrayMinimisingKeepsTheWindowReachable();
    void closeButtonRemovesTrayIconAndExits();
    void brokenCatalogueRepliesNeverHang();
    void aSilentCatalogueCostsOneTimeOutAndIsNamed();

private:
    void createWindow(bool trayAvailable = true);
    QList<QByteArray> targets() const { return m_s->server.targets(); }

    std::unique_ptr<WindowServices> m_s;
    std::unique_ptr<MusicBox> m_box;
    MainWindow *m_window = nullptr;
    SongListModel &songList() const { return m_box->subsystems().songs; }
    QAction *item(const QString &name) const { return menuItem(m_window, name); }
};

void MainWindowTest::initTestCase()
{
    silenceOffscreenWarnings();
}

void MainWindowTest::init()
{
    m_s = std::make_unique<WindowServices>(catalogueReply);
}

void MainWindowTest::cleanup()
{
    m_box.reset();
    m_window = nullptr;
    m_s.reset();
}

void MainWindowTest::createWindow(bool trayAvailable)
{
    m_s->tray.setAvailable(trayAvailable);
    m_box = m_s->openWindow();
    m_window = &m_box->window();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
}

template <typename T> static T *child(QWidget *window, const char *name)
{
    T *w = window->findChild<T *>(QString::fromUtf8(name));
    if (!w)
        qWarning("no control named %s", name);
    return w;
}

void MainWindowTest::startupFillsListAndKeywordsInOrder()
{
    createWindow();
    const QList<QByteArray> got = targets();
    QCOMPARE(got.size(), 3);
    QVERIFY(got[0].startsWith("/x?op=22&listid="));
    const int first = got[0].mid(16).toInt();
    const int second = got[1].mid(16).toInt();
    QVERIFY2(first >= 200 && first <= 210, got[0]);
    QVERIFY2(second >= 100 && second <= 103, got[1]);
    QCOMPARE(got[2], QByteArray("/x?op=3&list_cat=5"));

    SongListModel &songs = songList();
    QCOMPARE(songs.rowCount(), 3);
    QCOMPARE(songs.songCount(), 3);
    QCOMPARE(songs.cell(0, 0), QStringLiteral("1"));
    QCOMPARE(songs.cell(1, 1), QStringLiteral("沐弦软件"));
    QCOMPARE(songs.cell(1, 2), QStringLiteral("乙"));
    QCOMPARE(songs.cell(2, 0), QStringLiteral("3"));
    QCOMPARE(songs.cell(2, 1), QStringLiteral("三"));

    auto *keywords = child<QComboBox>(m_window, "关键字框");
    QCOMPARE(keywords->count(), 3);
    QCOMPARE(keywords->itemText(0), QStringLiteral("流行"));
    QCOMPARE(keywords->itemText(2), QString());
    QCOMPARE(m_s->tray.tip(), QStringLiteral("沐弦音乐盒"));
    // Picking the start-up ids did not write into the search box.
    QCOMPARE(child<QLineEdit>(m_window, "搜索框")->text(), QString());
}

void MainWindowTest::controlsStandAtTheirPlaces_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");
    const Control controls[] = {
        {"播放下载标签", {296, 293, 152, 16}, "请选择一个列表播放", {254, 218, 186}},
        {"进度透明标签", {440, 293, 120, 12}, "00:00/00:00", {254, 218, 186}},
        {"停止下载标签", {366, 32, 50, 18}, "停止下载", {192, 96, 0}},
        {"下载透明标签", {365, 32, 50, 18}, "开始下载", {128, 128, 255}},
        {"下载提示透明标签", {424, 32, 136, 16}, "", {255, 0, 255}},
        {"刷新透明标签", {330, 32, 30, 18}, "刷新", {128, 224, 0}},
        {"缓冲标签", {100, 6, 350, 16}, "准备就绪", {192, 192, 192}},
        {"搜索透明标签", {294, 32, 30, 18}, "搜索", {132, 132, 132}},
        {"提示标签", {8, 4, 70, 20}, " 沐弦音乐盒", {192, 192, 192}},
        {"提示透明标签", {20, 33, 60, 18}, "歌名或歌手", {132, 132, 132}},
    };
    for (const Control &c : controls)
        QTest::newRow(c.name) << QString::fromUtf8(c.name) << c.geometry << QString::fromUtf8(c.text) << c.colour;
}

void MainWindowTest::controlsStandAtTheirPlaces()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QColor, colour);
    createWindow();
    auto *label = m_window->findChild<TransparentLabel *>(name);
    QVERIFY(label);
    QCOMPARE(label->geometry(), geometry);
    QCOMPARE(label->text(), text);
    QCOMPARE(label->textColour(), colour);
    QCOMPARE(label->isVisibleTo(m_window), name != QStringLiteral("停止下载标签"));
}

void MainWindowTest::skinRedPixelsAreHoles()
{
    createWindow();
    QCOMPARE(m_window->pos(), QPoint(50, 50));
    QCOMPARE(m_window->size(), QSize(580, 352));
    QVERIFY(m_window->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(m_window->windowTitle(), QStringLiteral("音乐播放器"));
    const QRegion region = m_window->mask();
    QVERIFY(!region.isEmpty());
    for (QPoint corner : {QPoint(0, 0), QPoint(579, 0), QPoint(0, 351), QPoint(579, 351)})
        QVERIFY2(!region.contains(corner), qPrintable(QStringLiteral("corner %1,%2").arg(corner.x()).arg(corner.y())));
    QVERIFY(region.contains(QPoint(290, 176)));
    QVERIFY(region.contains(QPoint(10, 176)));

    // The list lines up under its caption strip.
    auto *list = child<QTreeView>(m_window, "播放列表框");
    QCOMPARE(list->geometry(), QRect(8, 78, 565, 212));
    QCOMPARE(list->columnWidth(0), 40);
    QCOMPARE(list->columnWidth(1), 150);
    QCOMPARE(list->columnWidth(2), 355);
    // The stop button covers the small one beneath it.
    QCOMPARE(m_window->childAt(60, 317)->objectName(), QStringLiteral("停止图形按钮"));
}

void MainWindowTest::headerCaptionsNameTheirColumns()
{
    createWindow();
    auto *list = child<QTreeView>(m_window, "播放列表框");
    const struct {
        const char *strip;
        QRect geometry;
        const char *caption;
        int column;
    } strips[] = {
        {"标签2", {8, 61, 40, 17}, "序号", SongListModel::NumberColumn},
        {"标签3", {49, 61, 150, 17}, "歌曲名称", SongListModel::TitleColumn},
        {"标签4", {200, 61, 372, 17}, "演唱歌手", SongListModel::SingerColumn},
    };
    for (const auto &s : strips) {
        auto *strip = child<PictureLabel>(m_window, s.strip);
        QVERIFY(strip);
        QCOMPARE(strip->geometry(), s.geometry);
        QCOMPARE(strip->caption(), QString::fromUtf8(s.caption));
        // The caption's middle lies over the column it names.
        const int left = list->x() + list->columnViewportPosition(s.column);
        const int middle = strip->geometry().center().x();
        QVERIFY2(middle >= left && middle < left + list->columnWidth(s.column), s.strip);
    }
}

// WCAG 2 relative luminance and contrast ratio.
static double luminance(QRgb c)
{
    auto linear = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(qRed(c)) + 0.7152 * linear(qGreen(c)) + 0.0722 * linear(qBlue(c));
}

static double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void MainWindowTest::searchCaptionsStandOutFromTheSkin()
{
    // Against every skin pixel under the label, at both resolutions: at
    // least 4.5:1, as 12-pixel text needs, and still a neutral grey.
    createWindow();
    for (const char *name : {"搜索透明标签", "提示透明标签"}) {
        auto *label = child<TransparentLabel>(m_window, name);
        QVERIFY(label);
        const QColor text = label->textColour();
        QVERIFY(text.red() == text.green() && text.green() == text.blue());
        for (const int scale : {1, 2}) {
            const QImage skin(scale == 1 ? QStringLiteral(":/skin/skin.png") : QStringLiteral(":/skin/skin@2x.png"));
            QCOMPARE(skin.size(), QSize(580, 352) * scale);
            const QRect under(label->geometry().topLeft() * scale, label->geometry().size() * scale);
            double worst = 21;
            for (int y = under.top(); y <= under.bottom(); ++y)
                for (int x = under.left(); x <= under.right(); ++x)
                    worst = std::min(worst, contrast(text.rgb(), skin.pixel(x, y)));
            QVERIFY2(worst >= 4.5, qPrintable(QStringLiteral("%1 at %2x: %3:1").arg(QString::fromUtf8(name)).arg(scale).arg(worst)));
        }
    }
}

void MainWindowTest::startPosition_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("fits at its usual place") << QRect(0, 0, 1024, 768) << QPoint(50, 50);
    QTest::newRow("exactly fits") << QRect(0, 0, 630, 402) << QPoint(50, 50);
    // 1280x800 at scale 2: the bottom would run off by two units.
    QTest::newRow("moved up") << QRect(0, 0, 640, 400) << QPoint(50, 48);
    QTest::newRow("moved left") << QRect(0, 0, 600, 768) << QPoint(20, 50);
    QTest::newRow("below a top panel") << QRect(0, 64, 1024, 704) << QPoint(50, 64);
    // 800x600 at scale 2: fits in neither direction.
    QTest::newRow("too small") << QRect(0, 0, 400, 300) << QPoint(0, 0);
    QTest::newRow("too small, beside a side panel") << QRect(48, 0, 500, 300) << QPoint(48, 0);
    QTest::newRow("screen left of the primary") << QRect(-1280, 0, 1280, 1024) << QPoint(-580, 50);
}

void MainWindowTest::startPosition()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, expected);
    const QPoint at = ::startPosition(available, QSize(580, 352), QPoint(50, 50));
    QCOMPARE(at, expected);
}

// Runs under the 1x offscreen screen and again (ctest: mainwindow_2x) on an
// 800x600 screen at QT_SCALE_FACTOR=2: 400x300 units, where the window cannot
// fit whole and starts at the top-left corner.
void MainWindowTest::skinIsDrawnAtTheScreensDensity()
{
    createWindow();
    const int scale = m_window->devicePixelRatio() > 1 ? 2 : 1;
    const QRect available = m_window->screen()->availableGeometry();
    QCOMPARE(m_window->size(), QSize(580, 352));
    QCOMPARE(m_window->pos(), ::startPosition(available, m_window->size(), QPoint(50, 50)));
    if (available.size() == QSize(400, 300))
        QCOMPARE(m_window->pos(), available.topLeft());

    // The shape is in window units whatever the density: the 1x holes.
    const QRegion shape = m_window->mask();
    QCOMPARE(shape.boundingRect(), QRect(0, 0, 580, 352));
    const QRegion holes(QPixmap(QStringLiteral(":/skin/skin.png")).createMaskFromColor(QColor(255, 0, 0), Qt::MaskInColor));
    QCOMPARE(shape, holes);

    // What the window shows is the pictures of its density pixel for pixel:
    // at 2x the finer pictures, not enlarged 1x ones; keyed pixels show the
    // skin below.
    const QImage shot = m_window->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shot.size(), QSize(580, 352) * scale);
    auto picture = [scale](const char *name) {
        const QImage img(QStringLiteral(":/skin/%1%2.png").arg(QLatin1String(name), scale == 2 ? QStringLiteral("@2x") : QString()));
        return img.convertToFormat(QImage::Format_RGB32);
    };
    const QImage skin = picture("skin");
    const QImage play = picture("play");
    const QImage edge = picture("edge_right");
    const QImage header = picture("header");
    const struct {
        const char *what;
        QRect area; // window units
        std::function<QRgb(int, int)> expected; // by pixel of the shot
    } areas[] = {
        {"bare skin at the left frame", {0, 60, 6, 230}, [&](int x, int y) { return skin.pixel(x, y); }},
        {"edge piece 标签15", {572, 60, 8, 18}, [&](int x, int y) { return edge.pixel(x - 572 * scale, y - 60 * scale); }},
        {"keyed play button", {20, 302, 30, 30},
         [&](int x, int y) {
             const QRgb face = play.pixel(x - 20 * scale, y - 302 * scale);
             return qRgb(255, 0, 0) == face ? skin.pixel(x, y) : face;
         }},
        {"tiled caption strip, above its caption", {49, 61, 150, 2},
         [&](int x, int y) { return header.pixel((x - 49 * scale) % header.width(), y - 61 * scale); }},
    };
    for (const auto &a : areas) {
        int wrong = 0;
        const QRect pixels(a.area.topLeft() * scale, a.area.size() * scale);
        for (int y = pixels.top(); y <= pixels.bottom(); ++y)
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                wrong += (shot.pixel(x, y) & 0xffffff) != (a.expected(x, y) & 0xffffff);
        QVERIFY2(wrong == 0, qPrintable(QStringLiteral("%1 at %2x: %3 pixels differ").arg(QString::fromUtf8(a.what)).arg(scale).arg(wrong)));
    }
}

void MainWindowTest::menusStartInTheirStates()
{
    createWindow();
    auto item = [this](const char *name) { return menuItem(m_window, QString::fromUtf8(name)); };
    QVERIFY(!item("停止")->isEnabled());
    QVERIFY(!item("属性")->isEnabled());
    QVERIFY(item("立体声")->isChecked());
    QVERIFY(!item("左声道")->isChecked());
    QVERIFY(!item("停止下载")->isVisible());
    QVERIFY(item("下载")->isVisible());
    QVERIFY(!item("显示")->isVisible());
    QVERIFY(item("隐藏")->isVisible());
    QVERIFY(!item("开启连播")->isChecked());
    QVERIFY(!item("随即播放")->isChecked());

    QStringList charts;
    for (QAction *a : m_window->findChild<QMenu *>(QStringLiteral("榜单家族"))->actions())
        charts << a->text();
    QCOMPARE(charts.size(), 17);
    QCOMPARE(charts.first(), QStringLiteral("轻声音乐"));
    QCOMPARE(charts.last(), QStringLiteral("摇滚歌曲榜"));

    QStringList player;
    for (QAction *a : menuNamed(m_window, "菜单")->actions())
        player << (a->isSeparator() ? QStringLiteral("-") : a->text());
    QCOMPARE(player, (QStringList{"打开文件(&U)", "-", "播放/暂停(&P)", "停止(&S)", "-", "声道(&Y)", "-", "属性(&R)"}));
}

void MainWindowTest::emptySearchIsRefused()
{
    createWindow();
    m_s->server.clearTargets();
    QTest::mousePress(child<QWidget>(m_window, "搜索透明标签"), Qt::LeftButton);
    QCOMPARE(m_s->dialogs.messages().size(), 1);
    QCOMPARE(m_s->dialogs.messages().first().title, QStringLiteral("错误"));
    QCOMPARE(m_s->dialogs.messages().first().text, QStringLiteral("搜索内容不能为空."));
    QVERIFY(targets().isEmpty());
    QCOMPARE(songList().rowCount(), 3);
}

void MainWindowTest::searchSendsTheTextAsTypedAndFillsRows()
{
    createWindow();
    m_s->server.clearTargets();
    auto *box = child<QLineEdit>(m_window, "搜索框");
    box->setText(QStringLiteral("周 a&b"));
    QTest::mousePress(child<QWidget>(m_window, "搜索透明标签"), Qt::LeftButton);
    // GBK bytes and the blank travel percent-encoded; & stays a separator.
    QCOMPARE(targets(), QList<QByteArray>{"/x?op=7&mode=1&count=1&title=%D6%DC%20a&b"});
    SongListModel &songs = songList();
    QCOMPARE(songs.rowCount(), 3);
    QCOMPARE(songs.songCount(), 3);
    QCOMPARE(songs.cell(2, 0), QStringLiteral("3"));
    QCOMPARE(songs.cell(1, 1), QStringLiteral("栖木网络"));
    QCOMPARE(songs.cell(0, 2), QStringLiteral("歌手一"));

    // A single blank is a search text like any other.
    m_s->server.clearTargets();
    box->setText(QStringLiteral(" "));
    QTest::mousePress(child<QWidget>(m_window, "搜索透明标签"), Qt::LeftButton);
    QCOMPARE(targets(), QList<QByteArray>{"/x?op=7&mode=1&count=1&title=%20"});
    // Enter in the search box searches as 搜索 does.
    m_s->server.clearTargets();
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(targets(), QList<QByteArray>{"/x?op=7&mode=1&count=1&title=%20"});
}

void MainWindowTest::keywordChoice_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QString>("searchText");
    QTest::addColumn<bool>("searched");
    QTest::newRow("two-byte category searches") << 0 << "流行" << true;
    QTest::newRow("one ASCII character only fills the box") << 1 << "A" << false;
    QTest::newRow("empty category clears the box") << 2 << "" << false;
}

void MainWindowTest::keywordChoice()
{
    QFETCH(int, item);
    QFETCH(QString, searchText);
    QFETCH(bool, searched);
    createWindow();
    auto *box = child<QLineEdit>(m_window, "搜索框");
    box->setText(QStringLiteral("old"));
    m_s->server.clearTargets();
    auto *keywords = child<QComboBox>(m_window, "关键字框");
    keywords->setCurrentIndex(item);
    emit keywords->textActivated(keywords->itemText(item));
    QCOMPARE(box->text(), searchText);
    QCOMPARE(targets().size(), searched ? 1 : 0);
    if (searched)
        QCOMPARE(targets().first(), QByteArray("/x?op=7&mode=1&count=1&title=%C1%F7%D0%D0"));
}

void MainWindowTest::selectingARowWritesTheSearchBox()
{
    createWindow();
    auto *box = child<QLineEdit>(m_window, "搜索框");
    auto *list = child<QTreeView>(m_window, "播放列表框");
    box->setText(QStringLiteral("X"));
    box->setText(QStringLiteral("歌"));
    songList().clear();
    songList().fillSongList(QStringLiteral("<name>S$$Tt$$$$</name><name>歌手$$$$</name><name>Q$$a</name>"),
                                      0, QStringLiteral("栖木网络"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(songList().index(1, 1)).center());
    QCOMPARE(box->text(), QStringLiteral("歌手 - 栖木网络"));
    // A one-byte title leaves the box alone.
    list->setCurrentIndex(songList().index(2, 1));
    QCOMPARE(box->text(), QStringLiteral("歌手 - 栖木网络"));
    list->setCurrentIndex(songList().index(0, 1));
    QCOMPARE(box->text(), QStringLiteral("S - Tt"));
}

void MainWindowTest::chartMenuAndRefresh()
{
    createWindow();
    m_s->server.clearTargets();
    QAction *newSongs = item(QStringLiteral("新歌TOP100"));
    QVERIFY(newSongs);
    newSongs->trigger();
    QCOMPARE(targets(), QList<QByteArray>{"/x?op=22&listid=2"});
    QCOMPARE(songList().rowCount(), 2);
    QCOMPARE(songList().cell(0, 0), QStringLiteral("1"));
    QCOMPARE(songList().cell(1, 1), QStringLiteral("栖木网络"));

    // Refresh empties the download hint and reloads the mix, not the categories.
    auto *hint = child<QLabel>(m_window, "下载提示透明标签");
    hint->setText(QStringLiteral("已下载 50%"));
    m_s->server.clearTargets();
    QTest::mousePress(child<QWidget>(m_window, "刷新透明标签"), Qt::LeftButton);
    QCOMPARE(hint->text(), QString());
    QCOMPARE(targets().size(), 2);
    QCOMPARE(songList().rowCount(), 3);
    m_s->server.clearTargets();
    item(QStringLiteral("刷新"))->trigger();
    QCOMPARE(targets().size(), 2);
    QVERIFY(targets()[0].startsWith("/x?op=22&listid=2"));
}

void MainWindowTest::playOptions_data()
{
    QTest::addColumn<QString>("lx");
    QTest::addColumn<QString>("sj");
    QTest::addColumn<QString>("click");
    QTest::addColumn<bool>("continuousAfter");
    QTest::addColumn<bool>("randomAfter");
    QTest::addColumn<QStringList>("writes");
    const QString on = QStringLiteral("真"), off = QStringLiteral("假");
    const QString lx = QStringLiteral("开启连播"), sj = QStringLiteral("随即播放");
    QTest::newRow("off,off continuous") << "" << "" << lx << true << false << QStringList{"Lx=真"};
    QTest::newRow("on,off continuous") << on << off << lx << false << false << QStringList{"Lx=假"};
    QTest::newRow("on,on continuous") << on << on << lx << false << false << QStringList{"SJ=假", "Lx=假"};
    QTest::newRow("off,on continuous") << off << on << lx << true << false << QStringList{"SJ=假", "Lx=真"};
    QTest::newRow("off,off random") << "" << "" << sj << true << true << QStringList{"Lx=真", "SJ=真"};
    QTest::newRow("on,off random") << on << off << sj << true << true << QStringList{"SJ=真"};
    QTest::newRow("on,on random") << on << on << sj << true << false << QStringList{"SJ=假"};
    QTest::newRow("off,on random") << off << on << sj << true << false << QStringList{"Lx=真", "SJ=假"};
}

void MainWindowTest::playOptions()
{
    QFETCH(QString, lx);
    QFETCH(QString, sj);
    QFETCH(QString, click);
    QFETCH(bool, continuousAfter);
    QFETCH(bool, randomAfter);
    QFETCH(QStringList, writes);
    if (!lx.isEmpty())
        m_s->registry.setValue(PlayOptions::kKey, QStringLiteral("Lx"), lx);
    if (!sj.isEmpty())
        m_s->registry.setValue(PlayOptions::kKey, QStringLiteral("SJ"), sj);
    createWindow();
    QVERIFY(m_s->registry.writes().isEmpty());
    // Through the menu, as the user clicks it: the item flips its own mark first.
    item(click)->trigger();
    QCOMPARE(m_s->registry.writes(), writes);
    QCOMPARE(item(QStringLiteral("开启连播"))->isChecked(), continuousAfter);
    QCOMPARE(item(QStringLiteral("随即播放"))->isChecked(), randomAfter);
    // What is stored equals the marks, so the next run starts the same.
    QCOMPARE(m_s->registry.value(PlayOptions::kKey, QStringLiteral("Lx")) == QStringLiteral("真"), continuousAfter);
    QCOMPARE(m_s->registry.value(PlayOptions::kKey, QStringLiteral("SJ")) == QStringLiteral("真"), randomAfter);
    m_box.reset();
    m_window = nullptr;
    createWindow();
    QCOMPARE(item(QStringLiteral("开启连播"))->isChecked(), continuousAfter);
    QCOMPARE(item(QStringLiteral("随即播放"))->isChecked(), randomAfter);
}

void MainWindowTest::playOptionsStartFromExactValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("checked");
    QTest::newRow("真") << "真" << true;
    QTest::newRow("真 with a blank") << "真 " << false;
    QTest::newRow("English true") << "true" << false;
    QTest::newRow("假") << "假" << false;
}

void MainWindowTest::playOptionsStartFromExactValues()
{
    QFETCH(QString, value);
    QFETCH(bool, checked);
    m_s->registry.setValue(PlayOptions::kKey, QStringLiteral("Lx"), value);
    m_s->registry.setValue(PlayOptions::kKey, QStringLiteral("SJ"), value);
    createWindow();
    QCOMPARE(item(QStringLiteral("开启连播"))->isChecked(), checked);
    QCOMPARE(item(QStringLiteral("随即播放"))->isChecked(), checked);
    // A failed write still changes the mark.
    m_s->registry.setFailWrites(true);
    item(QStringLiteral("开启连播"))->trigger();
    QCOMPARE(item(QStringLiteral("开启连播"))->isChecked(), !checked);
}

static void movePointer(QWidget *widget, QPoint pos)
{
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void MainWindowTest::hoverColours()
{
    createWindow();
    auto *search = child<TransparentLabel>(m_window, "搜索透明标签");
    auto *refresh = child<TransparentLabel>(m_window, "刷新透明标签");
    movePointer(search, QPoint(5, 5));
    QCOMPARE(search->textColour(), QColor(236, 236, 236));
    movePointer(refresh, QPoint(5, 5));
    QCOMPARE(refresh->textColour(), QColor(0, 255, 0));
    // Over another control nothing resets, though the move reaches the window.
    movePointer(child<QWidget>(m_window, "提示标签"), QPoint(5, 5));
    QCOMPARE(refresh->textColour(), QColor(0, 255, 0));
    QCOMPARE(search->textColour(), QColor(236, 236, 236));
    // Over the bare skin both reset; refresh takes its second colour.
    QVERIFY(!m_window->childAt(QPoint(300, 55)));
    movePointer(m_window, QPoint(300, 55));
    QCOMPARE(search->textColour(), QColor(132, 132, 132));
    QCOMPARE(refresh->textColour(), QColor(0, 224, 128));
}

void MainWindowTest::rightPressesOpenTheirMenus()
{
    createWindow();
    struct Case
    {
        QWidget *target;
        QPoint pos;
        QMenu *menu;
    };
    auto *list = child<QTreeView>(m_window, "播放列表框");
    const QList<Case> cases = {
        {m_window, QPoint(300, 55), menuNamed(m_window, "菜单")},
        {child<QWidget>(m_window, "提示标签"), QPoint(10, 10), menuNamed(m_window, "菜单")},
        {child<QWidget>(m_window, "进度透明标签"), QPoint(10, 5), menuNamed(m_window, "菜单")},
        {child<QWidget>(m_window, "标签8"), QPoint(200, 40), menuNamed(m_window, "菜单")},
        {list->viewport(), list->visualRect(songList().index(0, 1)).center(), menuNamed(m_window, "隐藏菜单")},
    };
    for (const Case &c : cases) {
        QVERIFY(!c.menu->isVisible());
        QTest::mousePress(c.target, Qt::RightButton, {}, c.pos);
        if (c.target == list->viewport()) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, c.pos, c.target->mapToGlobal(c.pos));
            QApplication::sendEvent(c.target, &event);
        }
        QTRY_VERIFY2(c.menu->isVisible(), qPrintable(c.target->objectName()));
        c.menu->hide();
        QTest::mouseRelease(c.target, Qt::RightButton, {}, c.pos);
    }
    // The caption strip over the list is no place for a menu.
    QTest::mousePress(child<QWidget>(m_window, "标签2"), Qt::RightButton, {}, QPoint(5, 5));
    QTest::qWait(20);
    QVERIFY(!menuNamed(m_window, "菜单")->isVisible());
    // The tray's right click pops the tray menu.
    m_s->tray.simulateRightClick(QPoint(100, 100));
    QTRY_VERIFY(menuNamed(m_window, "托盘菜单")->isVisible());
    menuNamed(m_window, "托盘菜单")->hide();
}

void MainWindowTest::minimiseHidesToTrayAndComesBackCentred()
{
    createWindow();
    QTest::mouseClick(child<QWidget>(m_window, "小化图形按钮"), Qt::LeftButton);
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(m_window->isMinimized());
    QVERIFY(item(QStringLiteral("显示"))->isVisible());
    QVERIFY(!item(QStringLiteral("隐藏"))->isVisible());

    m_s->tray.simulateDoubleClick();
    QTRY_VERIFY(m_window->isVisible());
    QVERIFY(!m_window->isMinimized());
    QVERIFY(!item(QStringLiteral("显示"))->isVisible());
    QVERIFY(item(QStringLiteral("隐藏"))->isVisible());
    const QPoint centre = m_window->screen()->availableGeometry().center();
    QVERIFY(qAbs(m_window->geometry().center().x() - centre.x()) <= 1);
    QVERIFY(qAbs(m_window->geometry().center().y() - centre.y()) <= 1);

    // The same through the tray menu, and minimising by the system.
    item(QStringLiteral("隐藏"))->trigger();
    QVERIFY(!m_window->isVisible());
    item(QStringLiteral("显示"))->trigger();
    QVERIFY(m_window->isVisible());
    m_window->setWindowState(Qt::WindowMinimized);
    QTRY_VERIFY(!m_window->isVisible());
    QVERIFY(item(QStringLiteral("显示"))->isVisible());

    // The maximise button does nothing.
    m_window->showFromTray();
    QTest::mouseClick(child<QWidget>(m_window, "大化图形按钮"), Qt::LeftButton);
    QCOMPARE(m_window->size(), QSize(580, 352));
    QVERIFY(!m_window->isMaximized());
}

void MainWindowTest::withoutATrayMinimisingKeepsTheWindowReachable()
{
    createWindow(false);
    QVERIFY(m_s->tray.calls().isEmpty());
    QTest::mouseClick(child<QWidget>(m_window, "小化图形按钮"), Qt::LeftButton);
    QTest::qWait(50);
    // Minimised the ordinary way: still a window the desktop can restore.
    QVERIFY(m_window->isVisible());
    QVERIFY(m_window->isMinimized());
    QVERIFY(!item(QStringLiteral("显示"))->isVisible());
}

void MainWindowTest::screenReaderHearsEveryControl()
{
    // As under a screen reader that listens from the start: the interfaces
    // are made while the window is still being built.
    QAccessible::setActive(true);
    createWindow();
    auto iface = [this](const char *name) {
        QAccessibleInterface *i = QAccessible::queryAccessibleInterface(child<QWidget>(m_window, name));
        if (!i)
            qWarning("no accessible interface for %s", name);
        return i;
    };

    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(m_window);
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("音乐播放器"));

    const struct
    {
        const char *object;
        const char *name;
        bool toggles;
    } buttons[] = {
        {"暂停图形按钮", "播放/暂停", true}, {"停止图形按钮", "停止", false},  {"停止按钮", "停止", false},
        {"打开图形按钮", "打开文件", false}, {"图形按钮6", "静音", true},      {"小化图形按钮", "最小化", false},
        {"大化图形按钮", "最大化", false},   {"关闭图形按钮", "关闭", false},  {"图形按钮1", "歌曲分类", false},
        {"搜索透明标签", "搜索", false},     {"刷新透明标签", "刷新", false},  {"下载透明标签", "开始下载", false},
        {"停止下载标签", "停止下载", false},
    };
    for (const auto &b : buttons) {
        QAccessibleInterface *i = iface(b.object);
        QVERIFY(i);
        QVERIFY2(i->role() == QAccessible::Button, b.object);
        QCOMPARE(i->text(QAccessible::Name), QString::fromUtf8(b.name));
        const QStringList actions = i->actionInterface()->actionNames();
        QVERIFY2(actions.contains(QAccessibleActionInterface::pressAction()), b.object);
        QCOMPARE(actions.contains(QAccessibleActionInterface::toggleAction()), b.toggles);
    }

    QAccessibleInterface *volume = iface("音量拖动");
    QCOMPARE(volume->role(), QAccessible::Slider);
    QCOMPARE(volume->text(QAccessible::Name), QStringLiteral("音量"));
    QVERIFY(volume->valueInterface());
    QCOMPARE(volume->valueInterface()->maximumValue().toInt(), 60);
    QCOMPARE(iface("搜索框")->role(), QAccessible::EditableText);
    QCOMPARE(iface("搜索框")->text(QAccessible::Name), QStringLiteral("歌名或歌手"));
    QCOMPARE(iface("播放列表框")->text(QAccessible::Name), QStringLiteral("歌曲列表"));

    // The header strip's captions are read as text.
    for (const auto &[object, caption] : {std::pair{"标签2", "序号"}, {"标签3", "歌曲名称"}, {"标签4", "演唱歌手"}}) {
        QCOMPARE(iface(object)->role(), QAccessible::StaticText);
        QCOMPARE(iface(object)->text(QAccessible::Name), QString::fromUtf8(caption));
    }

    // A status line is read as what it shows, and follows what it shows.
    QAccessibleInterface *status = iface("缓冲标签");
    QCOMPARE(status->role(), QAccessible::StaticText);
    QCOMPARE(status->text(QAccessible::Description), QStringLiteral("播放状态"));
    auto *statusLabel = child<TransparentLabel>(m_window, "缓冲标签");
    QCOMPARE(status->text(QAccessible::Name), statusLabel->text());
    statusLabel->setText(QStringLiteral("正在连接中..."));
    QCOMPARE(status->text(QAccessible::Name), QStringLiteral("正在连接中..."));
    QVERIFY(status->actionInterface() == nullptr || status->actionInterface()->actionNames().isEmpty()
            || !status->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    for (const char *line : {"播放下载标签", "进度透明标签", "下载提示透明标签"})
        QVERIFY2(!iface(line)->text(QAccessible::Description).isEmpty(), line);

    // An open menu is found from the application, beside the window.
    auto *songView = child<QTreeView>(m_window, "播放列表框");
    emit songView->customContextMenuRequested(QPoint(20, 20));
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())));
    QAccessibleInterface *app = QAccessible::queryAccessibleInterface(qApp);
    QStringList items;
    for (int i = 0; i < app->childCount(); ++i)
        if (app->child(i)->role() == QAccessible::PopupMenu)
            for (int j = 0; j < app->child(i)->childCount(); ++j)
                items << app->child(i)->child(j)->text(QAccessible::Name);
    QVERIFY2(items.contains(QStringLiteral("试听(P)")), qPrintable(items.join(u',')));
    menu->close();

    // Pressing 刷新 through its interface asks the catalogue again.
    const qsizetype asked = targets().size();
    iface("刷新透明标签")->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(targets().size() > asked);
    QAccessible::setActive(false);
}

void MainWindowTest::closeButtonRemovesTrayIconAndExits()
{
    createWindow();
    QSignalSpy exits(m_window, &MainWindow::exitRequested);
    QTest::mouseClick(child<QWidget>(m_window, "关闭图形按钮"), Qt::LeftButton);
    QCOMPARE(exits.size(), 1);
    QVERIFY(!m_s->tray.isShown());
    QCOMPARE(m_s->tray.calls().last(), QStringLiteral("remove"));

    // The tray menu's exit works while the window is hidden, without showing it.
    m_box.reset();
    m_window = nullptr;
    createWindow();
    m_window->hideToTray();
    QSignalSpy exits2(m_window, &MainWindow::exitRequested);
    item(QStringLiteral("退出"))->trigger();
    QCOMPARE(exits2.size(), 1);
    QVERIFY(!m_s->tray.isShown());
    QVERIFY(!m_window->isVisible());
}

void MainWindowTest::brokenCatalogueRepliesNeverHang()
{
    struct Case
    {
        const char *what;
        FixtureReply reply;
        int rows;
    };
    FixtureReply garbage;
    garbage.body = QByteArray("\xff\xfe\x00\x81<name>", 8) + QByteArray(5000, '\x9f');
    FixtureReply invalidGbk;
    invalidGbk.body = QByteArray("<name>\xff\xff$$\x81\x30</name><name>NoSeparator</name>");
    FixtureReply stall;
    stall.mode = FixtureReply::Mode::Stall;
    FixtureReply endless;
    endless.mode = FixtureReply::Mode::Endless;
    FixtureReply early;
    early.mode = FixtureReply::Mode::CloseEarly;
    early.body = "<name>A$$B</name><name>C$$D</name>";
    const QList<Case> cases = {
        {"garbage", garbage, 0},         {"invalid GBK and no $$", invalidGbk, 2},
        {"never answers", stall, 0},     {"endless body", endless, 0},
        {"closes early", early, 0},
    };
    createWindow();
    auto *box = child<QLineEdit>(m_window, "搜索框");
    box->setText(QStringLiteral("x"));
    for (const Case &c : cases) {
        m_s->server.setReply(c.reply);
        QElapsedTimer clock;
        clock.start();
        QTest::mousePress(child<QWidget>(m_window, "搜索透明标签"), Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 5000, c.what);
        QCOMPARE(songList().rowCount(), c.rows);
    }
    // The window reads what it could: the unnamed part stays the singer.
    m_s->server.setReply(invalidGbk);
    QTest::mousePress(child<QWidget>(m_window, "搜索透明标签"), Qt::LeftButton);
    QCOMPARE(songList().cell(1, 2), QStringLiteral("NoSeparator"));
    QCOMPARE(songList().cell(1, 1), QStringLiteral("栖木网络"));
    QVERIFY(songList().cell(0, 2).contains(QChar(0xFFFD)));
}

void MainWindowTest::aSilentCatalogueCostsOneTimeOutAndIsNamed()
{
    FixtureReply stall;
    stall.mode = FixtureReply::Mode::Stall;
    m_s->server.setReply(stall);
    QElapsedTimer clock;
    clock.start();
    createWindow();
    // Three start-up requests, one time-out: the other two are not sent.
    QCOMPARE(targets().size(), 1);
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    auto *status = child<QLabel>(m_window, "缓冲标签");
    QCOMPARE(status->text(), QStringLiteral("曲库连接失败"));
    QVERIFY(status->toolTip().contains(QStringLiteral("没有及时回答")));
    QVERIFY(!QApplication::overrideCursor());

    // Refresh is one action too; an error status is named as well, and the
    // next answer brings the status back.
    FixtureReply missing;
    missing.status = 404;
    m_s->server.setReply(missing);
    m_s->server.clearTargets();
    item(QStringLiteral("刷新"))->trigger();
    QCOMPARE(targets().size(), 2);
    QVERIFY(status->toolTip().contains(QStringLiteral("HTTP 404")));
    m_s->server.setReply({});
    item(QStringLiteral("刷新"))->trigger();
    QCOMPARE(status->text(), QStringLiteral("准备就绪"));
    QCOMPARE(status->toolTip(), QString());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
