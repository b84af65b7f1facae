// The playback controller on its own: the song list model and its selection,
// the resolver over the real HTTP client and a scripted catalogue on
// 127.0.0.1, a scripted player and scripted dialogs. No window: what the
// window would show is read from the controller's signals.
#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "playbackcontroller.h"
#include "scriptedcatalogue.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

const char *kRows = "<name>甲$$一$$$$</name><name>乙$$$$</name><name>Z$$Zed$$$$</name><name>丁$$四$$$$</name>";

// The last value a signal carried.
template <typename T> T last(const QSignalSpy &spy)
{
    return spy.isEmpty() ? T() : spy.last().first().value<T>();
}

} // namespace

class PlaybackControllerTest : public QObject
{
    Q_OBJECT
private slots:
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
    void clockTicksAnnounceTheirTexts();
    void channelsSetTheBalance();
    void localFiles();
    void playPauseWithNothingLoadedOpensAFile();
    void propertiesDescribeTheMedia();

private:
    void selectRow(int row) { m_c->selectRow(row); }
    QList<QByteArray> targets() const { return m_c->server.targets(); }
    const QTimer &timer(const char *name) const
    {
        return *m_controller->findChild<QTimer *>(QString::fromUtf8(name));
    }

    std::unique_ptr<ScriptedCatalogue> m_c;
    SongListModel *m_songs = nullptr;
    QItemSelectionModel *m_selection = nullptr;
    SongResolver *m_resolver = nullptr;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<PlaybackController> m_controller;
};

void PlaybackControllerTest::init()
{
    m_c = std::make_unique<ScriptedCatalogue>(echoSongAddress);
    m_songs = &m_c->songs;
    m_selection = &m_c->selection;
    m_resolver = &m_c->resolver;
    m_songs->fillSongList(QString::fromUtf8(kRows), 0, QStringLiteral("沐弦软件"));
    m_player = std::make_unique<FakeMediaPlayer>();
    m_dialogs = std::make_unique<FakeDialogs>();
    m_controller = std::make_unique<PlaybackController>(*m_player, *m_resolver, *m_songs, *m_selection, *m_dialogs);
}

void PlaybackControllerTest::cleanup()
{
    m_controller.reset();
    m_dialogs.reset();
    m_player.reset();
    m_c.reset();
}

void PlaybackControllerTest::stateTable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("continuous");
    // What the labels are told; "-" for nothing announced.
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("reception");
    // Each of the four timers (缓冲时钟, 实时时钟, 播放下载时钟, MP3切换时钟):
    // S started at its own interval, 0 stopped, = left as it was.
    QTest::addColumn<QString>("timers");
    QTest::addColumn<bool>("pauseFace");
    // 停止 and 属性: 1 enabled, 0 disabled, = not announced.
    QTest::addColumn<QString>("items");
    const QString none = QStringLiteral("-");
    QTest::newRow("0 undefined") << 0 << true << none << none << "0==0" << false << "00";
    QTest::newRow("1 stopped") << 1 << true << "已停止" << "请选择一个列表播放" << "000S" << false << "00";
    QTest::newRow("1 stopped, no continuous play") << 1 << false << "已停止" << "请选择一个列表播放" << "000="
                                                    << false << "00";
    QTest::newRow("2 paused") << 2 << true << "已暂停" << none << "00S=" << false << "11";
    QTest::newRow("3 playing") << 3 << true << "一 - 甲" << none << "0SS=" << true << "11";
    QTest::newRow("4 scan forward") << 4 << true << none << none << "0==0" << false << "=0";
    QTest::newRow("5 scan reverse") << 5 << true << none << none << "0==0" << false << "=0";
    QTest::newRow("6 buffering") << 6 << true << none << none << "S=S0" << false << "11";
    QTest::newRow("7 waiting") << 7 << true << "正在加载中..." << none << "0=S0" << false << "11";
    QTest::newRow("8 media ended") << 8 << true << "播放结束" << "请选择一个列表播放" << "0000" << false << "00";
    QTest::newRow("8 media ended, no continuous play") << 8 << false << "播放结束" << "请选择一个列表播放" << "000="
                                                        << false << "00";
    QTest::newRow("9 transitioning") << 9 << true << "正在连接中,请稍后..." << "正在连接中,请稍后..." << "0=00"
                                     << false << "11";
    QTest::newRow("10 ready") << 10 << true << "准备就绪" << "请选择一个列表播放" << "0=0S" << false << "00";
    QTest::newRow("10 ready, no continuous play") << 10 << false << "准备就绪" << "请选择一个列表播放" << "0=0="
                                                  << false << "00";
    QTest::newRow("11 reconnecting") << 11 << true << "尝试重新连接中..." << none << "0==0" << false << "11";
    QTest::newRow("12 last") << 12 << true << none << none << "0==0" << false << "11";
}

void PlaybackControllerTest::stateTable()
{
    QFETCH(int, state);
    QFETCH(bool, continuous);
    QFETCH(QString, status);
    QFETCH(QString, reception);
    QFETCH(QString, timers);
    QFETCH(bool, pauseFace);
    QFETCH(QString, items);

    m_controller->setPlayOptions(continuous, false);
    // The name of the song last listened to: 歌名 - 歌手.
    selectRow(0);
    m_controller->playSelectedSong();

    const char *names[] = {"缓冲时钟", "实时时钟", "播放下载时钟", "MP3切换时钟"};
    const int intervals[] = {100, 1000, 500, 200};
    // Twice: once with every timer running at an odd interval, once with
    // all stopped, so that "left as it was" shows in both directions.
    for (bool runningBefore : {true, false}) {
        for (const char *name : names) {
            auto &t = const_cast<QTimer &>(timer(name));
            if (runningBefore)
                t.start(7777);
            else
                t.stop();
        }
        QSignalSpy statusSpy(m_controller.get(), &PlaybackController::statusTextChanged);
        QSignalSpy receptionSpy(m_controller.get(), &PlaybackController::receptionTextChanged);
        QSignalSpy faceSpy(m_controller.get(), &PlaybackController::pauseFaceChanged);
        QSignalSpy stopSpy(m_controller.get(), &PlaybackController::stopEnabledChanged);
        QSignalSpy propertiesSpy(m_controller.get(), &PlaybackController::propertiesEnabledChanged);

        m_player->report(state);

        QCOMPARE(statusSpy.isEmpty() ? QStringLiteral("-") : last<QString>(statusSpy), status);
        QCOMPARE(receptionSpy.isEmpty() ? QStringLiteral("-") : last<QString>(receptionSpy), reception);
        for (int i = 0; i < 4; ++i) {
            const QTimer &t = timer(names[i]);
            const QChar want = timers.at(i);
            const QByteArray where = QByteArray(names[i]) + (runningBefore ? " (running before)" : " (stopped before)");
            if (want == QLatin1Char('S')) {
                QVERIFY2(t.isActive(), where);
                QVERIFY2(t.interval() == intervals[i], where);
            } else if (want == QLatin1Char('0')) {
                QVERIFY2(!t.isActive(), where);
            } else {
                QVERIFY2(t.isActive() == runningBefore, where);
                if (runningBefore)
                    QVERIFY2(t.interval() == 7777, where);
            }
        }
        QCOMPARE(faceSpy.size(), 1);
        QCOMPARE(last<bool>(faceSpy), pauseFace);
        auto announced = [](const QSignalSpy &spy) {
            return spy.isEmpty() ? QLatin1Char('=') : last<bool>(spy) ? QLatin1Char('1') : QLatin1Char('0');
        };
        QCOMPARE(QString(announced(stopSpy)) + announced(propertiesSpy), items);
    }
}

void PlaybackControllerTest::listeningResolvesTheSelectedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("key");
    QTest::newRow("ordinary row") << 0 << QByteArray("/x?op=12&count=1&mtype=2&title=%BC%D7$$%D2%BB$$$$&listenreelect=0")
                                  << QString::fromUtf8("http://127.0.0.1/song/7/%BC%D7$$%D2%BB$$$$.mp3")
                                  << QStringLiteral("甲$$一");
    QTest::newRow("mix placeholder: singer and $$ only")
        << 1 << QByteArray("/x?op=12&count=1&mtype=2&title=%D2%D2$$$$$$&listenreelect=0")
        << QString::fromUtf8("http://127.0.0.1/song/7/%D2%D2$$$$$$.mp3") << QStringLiteral("乙$$");
    QTest::newRow("one-byte singer is refused") << 2 << QByteArray() << QString() << QString();
    QTest::newRow("no row") << -1 << QByteArray() << QString() << QString();
}

void PlaybackControllerTest::listeningResolvesTheSelectedRow()
{
    QFETCH(int, row);
    QFETCH(QByteArray, request);
    QFETCH(QString, url);
    QFETCH(QString, key);
    selectRow(row);
    m_controller->playSelectedSong();
    if (request.isEmpty()) {
        QVERIFY(targets().isEmpty());
        QVERIFY(m_player->calls().isEmpty());
        QVERIFY(m_controller->nowPlayingName().isEmpty());
        return;
    }
    QCOMPARE(targets(), QList<QByteArray>{request});
    QCOMPARE(m_player->url(), url);
    QCOMPARE(m_controller->nowPlayingName(), m_songs->cell(row, 1) + QStringLiteral(" - ") + m_songs->cell(row, 2));
    // The key and reply of the latest request are kept for the other users.
    QCOMPARE(m_resolver->lastRequest().currentSongKey, key);
    QVERIFY(m_resolver->lastRequest().addressReply.contains(QStringLiteral("<encode>")));
}

void PlaybackControllerTest::continuousPlayMovesToTheNextRow()
{
    m_controller->setPlayOptions(true, false);
    selectRow(0);
    m_controller->playSelectedSong();
    m_player->report(3);
    m_c->server.clearTargets();
    QSignalSpy search(m_controller.get(), &PlaybackController::searchTextChanged);
    // The song ends: MediaEnded, then Stopped arms the switch.
    m_player->report(8);
    m_player->report(1);
    const QTimer &switchTimer = timer("MP3切换时钟");
    QVERIFY(switchTimer.isActive());
    QCOMPARE(switchTimer.interval(), 200);
    QTRY_COMPARE(targets().size(), 1);
    QVERIFY(!switchTimer.isActive());
    QCOMPARE(m_selection->currentIndex().row(), 1);
    QVERIFY(m_selection->isRowSelected(1));
    QCOMPARE(targets().first(), QByteArray("/x?op=12&count=1&mtype=2&title=%D2%D2$$$$$$&listenreelect=0"));
    QCOMPARE(last<QString>(search), QStringLiteral("沐弦软件 - 乙"));
    QCOMPARE(m_player->url(), QStringLiteral("http://127.0.0.1/song/7/%D2%D2$$$$$$.mp3"));
    // The switch does not check the singer's length of the row it lands on.
    m_player->report(1);
    QTRY_COMPARE(targets().size(), 2);
    QVERIFY(targets().last().contains("title=Z$$Zed$$$$"));
}

void PlaybackControllerTest::continuousPlayStopsAfterTheLastRow()
{
    m_controller->setPlayOptions(true, false);
    selectRow(3);
    m_player->report(10);
    QVERIFY(timer("MP3切换时钟").isActive());
    QTest::qWait(300);
    // Past the end nothing is resolved and the switch stops.
    QVERIFY(targets().isEmpty());
    QVERIFY(!timer("MP3切换时钟").isActive());
    QCOMPARE(m_selection->currentIndex().row(), 3);
}

void PlaybackControllerTest::randomPlayDrawsAmongTheListedSongs()
{
    m_controller->setPlayOptions(true, true);
    m_songs->clear();
    m_songs->fillSongList(QStringLiteral("<name>只有$$一首$$$$</name>"), 0, QString());
    selectRow(0);
    for (int i = 0; i < 3; ++i) {
        m_player->report(1);
        QTRY_COMPARE(targets().size(), i + 1);
        QVERIFY(targets().last().contains("title=%D6%BB%D3%D0$$%D2%BB%CA%D7$$$$"));
    }
}

void PlaybackControllerTest::switchWithoutSelectionKeepsTicking()
{
    m_controller->setPlayOptions(true, false);
    selectRow(-1);
    m_player->report(1);
    QTest::qWait(450);
    QVERIFY(timer("MP3切换时钟").isActive());
    QVERIFY(targets().isEmpty());
    // Another state stops it.
    m_player->report(9);
    QVERIFY(!timer("MP3切换时钟").isActive());
    // Without continuous play no state touches the switch.
    m_controller->setPlayOptions(false, false);
    m_player->report(1);
    QVERIFY(!timer("MP3切换时钟").isActive());
}

void PlaybackControllerTest::clockTicksAnnounceTheirTexts()
{
    QSignalSpy status(m_controller.get(), &PlaybackController::statusTextChanged);
    QSignalSpy progress(m_controller.get(), &PlaybackController::progressTextChanged);
    QSignalSpy reception(m_controller.get(), &PlaybackController::receptionTextChanged);

    m_player->setBuffering(45);
    m_player->report(6); // buffering starts 缓冲时钟
    QTRY_COMPARE(last<QString>(status), QStringLiteral("缓冲 45%"));

    m_player->setDuration(QStringLiteral("03:25"));
    m_controller->showProgress();
    QCOMPARE(last<QString>(progress), QStringLiteral("00:00/03:25"));
    m_player->setPosition(QStringLiteral("01:02"));
    m_controller->showProgress();
    QCOMPARE(last<QString>(progress), QStringLiteral("01:02/03:25"));

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
    for (const Case &c : cases) {
        m_player->report(2); // paused: 播放下载时钟 runs
        m_player->setReception(c.progress, c.bandWidth);
        m_controller->showStreamingProgress();
        QCOMPARE(last<QString>(reception), QString::fromUtf8(c.text));
        QCOMPARE(timer("播放下载时钟").isActive(), c.keepsRunning);
    }
}

void PlaybackControllerTest::channelsSetTheBalance()
{
    QSignalSpy ticks(m_controller.get(), &PlaybackController::channelChanged);
    const struct
    {
        PlaybackController::Channel channel;
        int balance;
    } cases[] = {{PlaybackController::Left, 0},
                 {PlaybackController::Right, 100},
                 {PlaybackController::Stereo, 50},
                 {PlaybackController::Stereo, 50}};
    for (const auto &c : cases) {
        m_player->clearCalls();
        m_controller->selectChannel(c.channel);
        QCOMPARE(m_player->calls(), QStringList{QStringLiteral("balance=%1").arg(c.balance)});
        QCOMPARE(last<PlaybackController::Channel>(ticks), c.channel);
    }
}

void PlaybackControllerTest::localFiles()
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
        m_dialogs->setOpenFileResult(QString::fromUtf8(c.path));
        m_player->clearCalls();
        m_controller->openLocalFile();
        QCOMPARE(m_dialogs->openRequests().last().title, QStringLiteral("打开音乐文件"));
        QCOMPARE(m_dialogs->openRequests().last().filter,
                 QStringLiteral("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;"));
        QCOMPARE(m_player->calls(), QStringList{QStringLiteral("url=") + QString::fromUtf8(c.path)});
        QCOMPARE(m_controller->nowPlayingName(), QString::fromUtf8(c.name));
    }
    // The same file again neither restarts nor reloads; a cancel changes nothing.
    m_player->clearCalls();
    m_controller->openLocalFile();
    m_dialogs->setOpenFileResult(QString());
    m_controller->openLocalFile();
    QVERIFY(m_player->calls().isEmpty());
    QCOMPARE(m_controller->nowPlayingName(), QString());
    QCOMPARE(m_songs->rowCount(), 4);
}

void PlaybackControllerTest::playPauseWithNothingLoadedOpensAFile()
{
    QSignalSpy face(m_controller.get(), &PlaybackController::pauseFaceChanged);
    m_controller->togglePlayPause();
    QCOMPARE(m_dialogs->openRequests().size(), 1);
    // Cancelled: the play call has nothing to play, the face shows play.
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("play")});
    QCOMPARE(last<bool>(face), false);

    m_player->report(3);
    m_player->clearCalls();
    m_controller->togglePlayPause();
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("pause")});
    // The fake does not change state by itself: the face follows the player.
    QCOMPARE(last<bool>(face), true);
    m_player->report(2);
    m_player->clearCalls();
    m_controller->togglePlayPause();
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("play")});
    QCOMPARE(m_dialogs->openRequests().size(), 1);
    m_player->clearCalls();
    m_controller->stopPlayback();
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("stop")});
}

void PlaybackControllerTest::propertiesDescribeTheMedia()
{
    selectRow(0);
    m_controller->playSelectedSong();
    m_player->setItemInfo(QStringLiteral("FileType"), QStringLiteral("mp3"));
    m_player->setItemInfo(QStringLiteral("FileSize"), QStringLiteral("123456"));
    m_player->setItemInfo(QStringLiteral("SourceURL"), QStringLiteral("http://127.0.0.1/song/7/a.mp3"));
    m_player->setDuration(QStringLiteral("00:14"));
    QSignalSpy asked(m_controller.get(), &PlaybackController::filePropertiesRequested);
    m_controller->showFileProperties();
    QCOMPARE(asked.size(), 1);
    const auto media = asked.first().first().value<MediaProperties>();
    QCOMPARE(media.nowPlayingName, QStringLiteral("一 - 甲"));
    QCOMPARE(media.fileType, QStringLiteral("mp3"));
    QCOMPARE(media.fileSize, QStringLiteral("123456"));
    QCOMPARE(media.duration, QStringLiteral("00:14"));
    QCOMPARE(media.sourceUrl, QStringLiteral("http://127.0.0.1/song/7/a.mp3"));
}

QTEST_GUILESS_MAIN(PlaybackControllerTest)
#include "tst_playbackcontroller.moc"
