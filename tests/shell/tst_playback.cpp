// Listening, the automatic switch, the player's states in the window,
// play/pause, stop, channels, local files and the properties window: the
// real main window with a scripted player and a scripted catalogue.
#include "gbk.h"
#include "mainwindow.h"
#include "offscreen.h"
#include "playbackcontroller.h"
#include "songlistmodel.h"
#include "windowservices.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

namespace {

// Song address replies name the key they were asked for, so a test sees
// which row was resolved.
FixtureReply catalogueReply(const QByteArray &target)
{
    FixtureReply reply;
    if (target.startsWith("/x?op=12&")) {
        const QByteArray key = target.mid(target.indexOf("title=") + 6);
        reply.body = "<result><encode>http://127.0.0.1/song/7/tok</encode><decode>" + key.left(key.indexOf('&'))
            + ".mp3</decode></result>";
    }
    return reply;
}

const char *kRows = "<name>甲$$一$$$$</name><name>乙$$$$</name><name>Z$$Zed$$$$</name><name>丁$$四$$$$</name>";

} // namespace

class PlaybackTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stateTable_data();
    void stateTable();
    void listeningResolvesTheSelectedRow_data();
    void listeningResolvesTheSelectedRow();
    void continuousPlayMovesToTheNextRow();
    void continuousPlayStopsAfterTheLastRow();
    void randomPlayDrawsAmongTheListedSongs();
    void switchWithoutSelectionKeepsTicking();
    void clockTicksWriteTheirTexts();
    void channelItemsSetTheBalance();
    void localFiles();
    void playPauseWithNothingLoadedOpensAFile();
    void propertiesWindowShowsTheMedia();

private:
    QWidget *control(const char *name) const { return m_window->findChild<QWidget *>(QString::fromUtf8(name)); }
    QLabel *label(const char *name) const { return m_window->findChild<QLabel *>(QString::fromUtf8(name)); }
    QTimer *timer(const char *name) const { return m_window->findChild<QTimer *>(QString::fromUtf8(name)); }
    QAction *item(const char *name) const { return m_window->menuItem(QString::fromUtf8(name)); }
    void selectRow(int row);

    std::unique_ptr<WindowServices> m_s;
    FakeMediaPlayer *m_player = nullptr;
    std::unique_ptr<MainWindow> m_window;
};

void PlaybackTest::initTestCase()
{
    silenceOffscreenWarnings();
}

void PlaybackTest::init()
{
    m_s = std::make_unique<WindowServices>(catalogueReply);
    m_player = &m_s->player;
    m_window = m_s->openWindow();
    m_window->songList().clear();
    m_window->songList().fillSongList(QString::fromUtf8(kRows), 0, QStringLiteral("沐弦软件"));
    m_s->server.clearTargets();
}

void PlaybackTest::cleanup()
{
    m_window.reset();
    m_s.reset();
}

void PlaybackTest::selectRow(int row)
{
    auto *view = m_window->findChild<QTreeView *>(QStringLiteral("播放列表框"));
    view->setCurrentIndex(row < 0 ? QModelIndex() : m_window->songList().index(row, 1));
}

void PlaybackTest::stateTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("continuous");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("reception");
    // Active timers as "buffering progress streaming switch", 1 = running.
    QTest::addColumn<QString>("timers");
    QTest::addColumn<bool>("pauseFace");
    QTest::addColumn<bool>("stopEnabled");
    QTest::addColumn<bool>("propertiesEnabled");
    const QString before = QStringLiteral("before"), beforeReception = QStringLiteral("before reception");
    // Every timer starts running, so "unchanged" shows as 1.
    QTest::newRow("0 undefined") << 0 << true << before << beforeReception << "0110" << false << false << false;
    QTest::newRow("1 stopped") << 1 << true << "已停止" << "请选择一个列表播放" << "0001" << false << false << false;
    QTest::newRow("1 stopped, no continuous play") << 1 << false << "已停止" << "请选择一个列表播放" << "0001"
                                                    << false << false << false;
    QTest::newRow("2 paused") << 2 << true << "已暂停" << beforeReception << "0011" << false << true << true;
    QTest::newRow("3 playing") << 3 << true << "甲 - 乙" << beforeReception << "0111" << true << true << true;
    QTest::newRow("4 scan forward") << 4 << true << before << beforeReception << "0110" << false << true << false;
    QTest::newRow("6 buffering") << 6 << true << before << beforeReception << "1110" << false << true << true;
    QTest::newRow("7 waiting") << 7 << true << "正在加载中..." << beforeReception << "0110" << false << true << true;
    QTest::newRow("8 media ended") << 8 << true << "播放结束" << "请选择一个列表播放" << "0000" << false << false
                                   << false;
    QTest::newRow("8 media ended, no continuous play") << 8 << false << "播放结束" << "请选择一个列表播放" << "0001"
                                                        << false << false << false;
    QTest::newRow("9 transitioning") << 9 << true << "正在连接中,请稍后..." << "正在连接中,请稍后..." << "0100"
                                     << false << true << true;
    QTest::newRow("10 ready") << 10 << true << "准备就绪" << "请选择一个列表播放" << "0101" << false << false << false;
    QTest::newRow("11 reconnecting") << 11 << true << "尝试重新连接中..." << beforeReception << "0110" << false
                                     << true << true;
    QTest::newRow("12 last") << 12 << true << before << beforeReception << "0110" << false << true << true;
}

void PlaybackTest::stateTable()
{
    QFETCH(int, state);
    QFETCH(bool, continuous);
    QFETCH(QString, status);
    QFETCH(QString, reception);
    QFETCH(QString, timers);
    QFETCH(bool, pauseFace);
    QFETCH(bool, stopEnabled);
    QFETCH(bool, propertiesEnabled);

    item("开启连播")->setChecked(continuous);
    // Give the listing a name to show, then a known starting point.
    selectRow(0);
    item("试听")->trigger();
    label("缓冲标签")->setText(QStringLiteral("before"));
    label("播放下载标签")->setText(QStringLiteral("before reception"));
    const char *names[] = {"缓冲时钟", "实时时钟", "播放下载时钟", "MP3切换时钟"};
    for (const char *name : names)
        timer(name)->start(7);
    item("停止")->setEnabled(true);
    qobject_cast<QAbstractButton *>(control("暂停图形按钮"))->setChecked(!pauseFace);

    // The handler reads the name of the song last listened to: 歌名 - 歌手.
    m_window->songList().clear();
    m_player->report(state);

    if (state == 3)
        status = QStringLiteral("一 - 甲");
    QCOMPARE(label("缓冲标签")->text(), status);
    QCOMPARE(label("播放下载标签")->text(), reception);
    QString running;
    for (const char *name : names)
        running += timer(name)->isActive() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(running, timers);
    const int intervals[] = {100, 1000, 500, 200};
    for (int i = 0; i < 4; ++i)
        if (timers[i] == QLatin1Char('1'))
            QVERIFY(timer(names[i])->interval() == intervals[i] || timer(names[i])->interval() == 7);
    QCOMPARE(qobject_cast<QAbstractButton *>(control("暂停图形按钮"))->isChecked(), pauseFace);
    QCOMPARE(item("停止")->isEnabled(), stopEnabled);
    QCOMPARE(item("属性")->isEnabled(), propertiesEnabled);
}

void PlaybackTest::listeningResolvesTheSelectedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("url");
    QTest::newRow("ordinary row") << 0 << QByteArray("/x?op=12&count=1&mtype=2&title=%BC%D7$$%D2%BB$$$$&listenreelect=0")
                                  << QString::fromUtf8("http://127.0.0.1/song/7/%BC%D7$$%D2%BB$$$$.mp3");
    QTest::newRow("mix placeholder: singer and $$ only")
        << 1 << QByteArray("/x?op=12&count=1&mtype=2&title=%D2%D2$$$$$$&listenreelect=0")
        << QString::fromUtf8("http://127.0.0.1/song/7/%D2%D2$$$$$$.mp3");
    QTest::newRow("one-byte singer is refused") << 2 << QByteArray() << QString();
    QTest::newRow("no row") << -1 << QByteArray() << QString();
}

void PlaybackTest::listeningResolvesTheSelectedRow()
{
    QFETCH(int, row);
    QFETCH(QByteArray, request);
    QFETCH(QString, url);
    selectRow(row);
    auto *view = m_window->findChild<QTreeView *>(QStringLiteral("播放列表框"));
    if (row >= 0) {
        const QPoint at = view->visualRect(m_window->songList().index(row, 1)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    } else
        item("试听")->trigger();
    if (request.isEmpty()) {
        QVERIFY(m_s->server.targets().isEmpty());
        QVERIFY(m_player->calls().isEmpty());
        return;
    }
    QCOMPARE(m_s->server.targets(), QList<QByteArray>{request});
    QCOMPARE(m_player->url(), url);
    m_player->report(3);
    QCOMPARE(label("缓冲标签")->text(),
             m_window->songList().cell(row, 1) + QStringLiteral(" - ") + m_window->songList().cell(row, 2));
}

void PlaybackTest::continuousPlayMovesToTheNextRow()
{
    item("开启连播")->trigger();
    selectRow(0);
    item("试听")->trigger();
    m_player->report(3);
    m_s->server.clearTargets();
    // The song ends: MediaEnded, then Stopped arms the switch.
    m_player->report(8);
    m_player->report(1);
    QTimer *switchTimer = timer("MP3切换时钟");
    QVERIFY(switchTimer->isActive());
    QCOMPARE(switchTimer->interval(), 200);
    QTRY_COMPARE(m_s->server.targets().size(), 1);
    QVERIFY(!switchTimer->isActive());
    auto *view = m_window->findChild<QTreeView *>(QStringLiteral("播放列表框"));
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(m_s->server.targets().first(), QByteArray("/x?op=12&count=1&mtype=2&title=%D2%D2$$$$$$&listenreelect=0"));
    QCOMPARE(m_window->findChild<QLineEdit *>(QStringLiteral("搜索框"))->text(), QStringLiteral("沐弦软件 - 乙"));
    // The switch does not check the singer's length of the row it lands on.
    m_player->report(1);
    QTRY_COMPARE(m_s->server.targets().size(), 2);
    QVERIFY(m_s->server.targets().last().contains("title=Z$$Zed$$$$"));
}

void PlaybackTest::continuousPlayStopsAfterTheLastRow()
{
    item("开启连播")->trigger();
    selectRow(3);
    m_player->report(10);
    QTest::qWait(300);
    // Past the end nothing is resolved and the switch stops.
    QVERIFY(m_s->server.targets().isEmpty());
    QVERIFY(!timer("MP3切换时钟")->isActive());
    QCOMPARE(m_window->findChild<QTreeView *>(QStringLiteral("播放列表框"))->currentIndex().row(), 3);
}

void PlaybackTest::randomPlayDrawsAmongTheListedSongs()
{
    item("随即播放")->trigger();
    QVERIFY(item("开启连播")->isChecked());
    m_window->songList().clear();
    m_window->songList().fillSongList(QStringLiteral("<name>只有$$一首$$$$</name>"), 0, QString());
    selectRow(0);
    for (int i = 0; i < 3; ++i) {
        m_player->report(1);
        QTRY_COMPARE(m_s->server.targets().size(), i + 1);
        QVERIFY(m_s->server.targets().last().contains("title=%D6%BB%D3%D0$$%D2%BB%CA%D7$$$$"));
    }
}

void PlaybackTest::switchWithoutSelectionKeepsTicking()
{
    item("开启连播")->trigger();
    selectRow(-1);
    m_player->report(1);
    QTest::qWait(450);
    QVERIFY(timer("MP3切换时钟")->isActive());
    QVERIFY(m_s->server.targets().isEmpty());
    // Another state stops it.
    m_player->report(9);
    QVERIFY(!timer("MP3切换时钟")->isActive());
    // Without continuous play no state touches the switch.
    item("开启连播")->trigger();
    m_player->report(1);
    QVERIFY(!timer("MP3切换时钟")->isActive());
}

void PlaybackTest::clockTicksWriteTheirTexts()
{
    auto &controller = m_window->playback();
    m_player->setBuffering(45);
    controller.showBuffering();
    QCOMPARE(label("缓冲标签")->text(), QStringLiteral("缓冲 45%"));

    m_player->setDuration(QStringLiteral("03:25"));
    controller.showProgress();
    QCOMPARE(label("进度透明标签")->text(), QStringLiteral("00:00/03:25"));
    m_player->setPosition(QStringLiteral("01:02"));
    controller.showProgress();
    QCOMPARE(label("进度透明标签")->text(), QStringLiteral("01:02/03:25"));

    struct Case
    {
        int progress, bandWidth;
        const char *text;
        bool keepsRunning;
    };
    const Case cases[] = {
        {45, 128000, "已下载 45%,速度 12KB/s", true},
        {100, 128000, "已下载 100%,速度 12KB/s", true},
        {50, 10239, "已下载 50%,速度 0KB/s", true},
        {50, 10240, "已下载 50%,速度 1KB/s", true},
        {100, 0, "接收缓存已完成", false},
    };
    QTimer *streaming = timer("播放下载时钟");
    for (const Case &c : cases) {
        streaming->start(500);
        m_player->setReception(c.progress, c.bandWidth);
        controller.showStreamingProgress();
        QCOMPARE(label("播放下载标签")->text(), QString::fromUtf8(c.text));
        QCOMPARE(streaming->isActive(), c.keepsRunning);
    }
}

void PlaybackTest::channelItemsSetTheBalance()
{
    QVERIFY(item("立体声")->isChecked());
    const struct
    {
        const char *name;
        int balance;
    } cases[] = {{"左声道", 0}, {"右声道", 100}, {"立体声", 50}, {"立体声", 50}};
    for (const auto &c : cases) {
        m_player->clearCalls();
        item(c.name)->trigger();
        QCOMPARE(m_player->calls(), QStringList{QStringLiteral("balance=%1").arg(c.balance)});
        for (const char *other : {"立体声", "左声道", "右声道"})
            QCOMPARE(item(other)->isChecked(), qstrcmp(other, c.name) == 0);
    }
}

void PlaybackTest::localFiles()
{
    struct Case
    {
        const char *path;
        const char *name;
    };
    const Case cases[] = {
        {"D:\\music\\song.mp3", "song"},
        {"/home/me/Music/一首.歌.wma", "一首.歌"},
        {"/home/me/Music/noextension", ""},
    };
    for (const Case &c : cases) {
        m_s->dialogs.setOpenFileResult(QString::fromUtf8(c.path));
        m_player->clearCalls();
        QTest::mouseClick(control("打开图形按钮"), Qt::LeftButton);
        QCOMPARE(m_s->dialogs.openRequests().last().title, QStringLiteral("打开音乐文件"));
        QCOMPARE(m_s->dialogs.openRequests().last().filter,
                 QStringLiteral("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;"));
        QCOMPARE(m_player->calls(), QStringList{QStringLiteral("url=") + QString::fromUtf8(c.path)});
        QCOMPARE(m_window->playback().nowPlayingName(), QString::fromUtf8(c.name));
    }
    // The same file again neither restarts nor reloads; a cancel changes nothing.
    m_player->clearCalls();
    item("打开文件")->trigger();
    m_s->dialogs.setOpenFileResult(QString());
    item("打开文件")->trigger();
    QVERIFY(m_player->calls().isEmpty());
    QCOMPARE(m_window->songList().rowCount(), 4);
}

void PlaybackTest::playPauseWithNothingLoadedOpensAFile()
{
    auto *button = qobject_cast<QAbstractButton *>(control("暂停图形按钮"));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_s->dialogs.openRequests().size(), 1);
    // Cancelled: the play call has nothing to play, the face stays.
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("play")});
    QVERIFY(!button->isChecked());

    m_player->report(3);
    m_player->clearCalls();
    item("播放/暂停")->trigger();
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("pause")});
    m_player->report(2);
    m_player->clearCalls();
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("play")});
    QCOMPARE(m_s->dialogs.openRequests().size(), 1);
    m_player->clearCalls();
    QTest::mouseClick(control("停止图形按钮"), Qt::LeftButton);
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("stop")});
}

void PlaybackTest::propertiesWindowShowsTheMedia()
{
    selectRow(0);
    item("试听")->trigger();
    m_player->setItemInfo(QStringLiteral("FileType"), QStringLiteral("mp3"));
    m_player->setItemInfo(QStringLiteral("FileSize"), QStringLiteral("123456"));
    m_player->setItemInfo(QStringLiteral("SourceURL"), QStringLiteral("http://127.0.0.1/song/7/a.mp3"));
    m_player->setDuration(QStringLiteral("00:14"));
    m_player->report(3);
    QVERIFY(item("属性")->isEnabled());
    item("属性")->trigger();
    QWidget *dialog = nullptr;
    QTRY_VERIFY((dialog = m_window->findChild<QWidget *>(QStringLiteral("文件属性"))));
    QCOMPARE(dialog->windowTitle(), QStringLiteral("文件属性"));
    QCOMPARE(dialog->size(), QSize(384, 207));
    auto text = [dialog](const char *name) { return dialog->findChild<QLabel *>(QString::fromUtf8(name))->text(); };
    QCOMPARE(text("透明标签3"), QStringLiteral("一 - 甲.mp3"));
    QCOMPARE(text("透明标签4"), QStringLiteral("文件类型 : mp3"));
    QCOMPARE(text("透明标签5"), QStringLiteral("文件大小 : 123456 Bytes"));
    QCOMPARE(text("透明标签6"), QStringLiteral("媒体时间 : 00:14"));
    QCOMPARE(text("透明标签1"), QString(59, QLatin1Char('_')));
    QCOMPARE(dialog->findChild<QLineEdit *>(QStringLiteral("地址编辑框"))->text(),
             QStringLiteral("http://127.0.0.1/song/7/a.mp3"));
    QTest::mouseClick(dialog->findChild<QWidget *>(QStringLiteral("按钮1")), Qt::LeftButton);
    QTRY_VERIFY(!m_window->findChild<QWidget *>(QStringLiteral("文件属性")));
}

QTEST_MAIN(PlaybackTest)
#include "tst_playback.moc"
