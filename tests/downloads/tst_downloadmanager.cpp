// The download manager without a window: the selected row resolved against a
// scripted catalogue on 127.0.0.1, or what the scripted player plays; the
// save dialog and the downloader scripted; what the window would show read
// from the manager's signals.
#include "downloadmanager.h"
#include "fakedialogs.h"
#include "fakedownloader.h"
#include "fakemediaplayer.h"
#include "gbk.h"
#include "scriptedcatalogue.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QtTest>

class DownloadManagerTest : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void progressTexts_data();
    void progressTexts();
    void proposedNames_data();
    void proposedNames();
    void aRowIsResolvedOfferedAndSaved();
    void whatPlaysIsSavedWhenNoRowIsSelected();
    void refusals_data();
    void refusals();
    void endsAndStops();

private:
    QString hint() const { return m_hints->isEmpty() ? QString() : m_hints->last().first().toString(); }
    void selectRow(int row) { m_c->selectRow(row); }

    QByteArray m_reply; // the song address reply
    std::unique_ptr<ScriptedCatalogue> m_c;
    std::unique_ptr<FakeMediaPlayer> m_player;
    std::unique_ptr<FakeDialogs> m_dialogs;
    std::unique_ptr<FakeDownloader> m_downloader;
    std::unique_ptr<DownloadManager> m_manager;
    std::unique_ptr<QSignalSpy> m_hints;
    std::unique_ptr<QSignalSpy> m_busy;
};

void DownloadManagerTest::init()
{
    QStandardPaths::setTestModeEnabled(true);
    m_reply = gbk::encode(QStringLiteral("<encode>http://127.0.0.1/song/7/tok</encode><decode>S.wma?x=1</decode>"));
    m_c = std::make_unique<ScriptedCatalogue>([this](const QByteArray &) { return FixtureReply{200, m_reply}; });
    m_c->songs.fillSongList(QStringLiteral("<name>歌手$$歌名</name><name>乙$$$$</name><name>Z$$zed</name>"
                                         "<name>S/1$$T:2?</name>"),
                          0, QStringLiteral("沐弦软件"));
    m_player = std::make_unique<FakeMediaPlayer>();
    m_dialogs = std::make_unique<FakeDialogs>();
    m_downloader = std::make_unique<FakeDownloader>();
    m_manager = std::make_unique<DownloadManager>(*m_downloader, m_c->resolver, m_c->songs, m_c->selection, *m_player,
                                                  *m_dialogs);
    m_hints = std::make_unique<QSignalSpy>(m_manager.get(), &DownloadManager::hintTextChanged);
    m_busy = std::make_unique<QSignalSpy>(m_manager.get(), &DownloadManager::busyChanged);
}

void DownloadManagerTest::cleanup()
{
    m_busy.reset();
    m_hints.reset();
    m_manager.reset();
    m_downloader.reset();
    m_dialogs.reset();
    m_player.reset();
    m_c.reset();
}

void DownloadManagerTest::progressTexts_data()
{
    QTest::addColumn<double>("total");
    QTest::addColumn<qint64>("received");
    QTest::addColumn<qint64>("rate");
    QTest::addColumn<QString>("text");
    QTest::newRow("no size yet") << 0.0 << qint64(5000) << qint64(9000) << "正在连接中...";
    QTest::newRow("below the tolerance") << 0.00000009 << qint64(1) << qint64(1) << "正在连接中...";
    QTest::newRow("example") << 2700000.0 << qint64(1000000) << qint64(46080) << "速度45K/s,已完成(37%)";
    QTest::newRow("37.5 rounds up") << 1000.0 << qint64(375) << qint64(0) << "速度0K/s,已完成(38%)";
    QTest::newRow("37.4 rounds down") << 1000.0 << qint64(374) << qint64(511) << "速度0K/s,已完成(37%)";
    QTest::newRow("512 B/s is 1K/s") << 1000.0 << qint64(1000) << qint64(512) << "速度1K/s,已完成(100%)";
    QTest::newRow("3 GB file") << 3.0e9 << qint64(2'250'000'000) << qint64(10'485'760) << "速度10240K/s,已完成(75%)";
    QTest::newRow("an earlier size may exceed 100") << 1000.0 << qint64(2500) << qint64(0) << "速度0K/s,已完成(250%)";
}

void DownloadManagerTest::progressTexts()
{
    QFETCH(double, total);
    QFETCH(qint64, received);
    QFETCH(qint64, rate);
    QFETCH(QString, text);
    QCOMPARE(DownloadManager::progressText(total, received, rate), text);
}

void DownloadManagerTest::proposedNames_data()
{
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("name");
    QTest::newRow("mp3") << "S - T" << "http://h/song.mp3" << "S - T.mp3";
    QTest::newRow("query after the extension") << "S - T" << "http://h/song.wma?key=1" << "S - T.wma";
    QTest::newRow("three characters") << "S - T" << "http://h/clip.mpeg" << "S - T.mpe";
    QTest::newRow("no dot: the whole address") << "S - T" << "abc" << "S - T.abc";
    QTest::newRow("unsafe characters") << "a/b\\c:d*e?f\"g<h>i|j\tk" << "x.mp3" << "a_b_c_d_e_f_g_h_i_j_k.mp3";
    QTest::newRow("placeholder title") << "S - " << "http://h/x.mp3" << "S - .mp3";
}

void DownloadManagerTest::proposedNames()
{
    QFETCH(QString, stem);
    QFETCH(QString, address);
    QFETCH(QString, name);
    QCOMPARE(DownloadManager::proposedFileName(stem, address), name);
}

void DownloadManagerTest::aRowIsResolvedOfferedAndSaved()
{
    selectRow(0);
    m_dialogs->setSaveFileResult(QStringLiteral("/tmp/chosen/歌手 - 歌名.wma"));
    m_manager->startDownload();

    QCOMPARE(m_c->server.targets().size(), 1);
    const FakeDialogs::FileRequest asked = m_dialogs->saveRequests().value(0);
    QCOMPARE(asked.title, QStringLiteral("把 歌手 - 歌名.wma 下载保存到我的电脑"));
    QCOMPARE(asked.filter, QStringLiteral("音乐文件(MP3,WMA,WAV,MID)|*.wav;*.mid;*.mp3;*.wma;"));
    QCOMPARE(asked.proposedName,
             QDir(QStandardPaths::writableLocation(QStandardPaths::DownloadLocation)).filePath(QStringLiteral("歌手 - 歌名.wma")));

    const DownloadRequest request = m_downloader->lastRequest();
    QCOMPARE(request.sourceUrl, QStringLiteral("http://127.0.0.1/song/7/S.wma?x=1"));
    QCOMPARE(request.targetPath, QStringLiteral("/tmp/chosen/歌手 - 歌名.wma"));
    // The values written before each transfer; the rest keep their start-up values.
    QCOMPARE(request.setting1, 4096);
    QCOMPARE(request.setting6, 10);
    QCOMPARE(request.connectTimeoutMs, 5000);
    QCOMPARE(request.setting9, 5001);
    QCOMPARE(request.setting10, 10000);
    QCOMPARE(request.setting11, 1000);
    QCOMPARE(request.setting12, 20480);
    QCOMPARE(request.userName, QStringLiteral("anonymous"));
    QCOMPARE(request.password.size(), 17);
    QCOMPARE(request.fileTypes, QStringLiteral(".exe|.rar|.zip|.gif|.jpg|.mp3|.rm"));

    QCOMPARE(m_busy->size(), 1);
    QVERIFY(m_busy->last().first().toBool());
    QVERIFY(m_manager->downloadClock().isActive());
    QCOMPARE(m_manager->downloadClock().interval(), 500);
    QTRY_COMPARE(hint(), QStringLiteral("正在连接中..."));
    m_downloader->reportSize(3000000);
    QCOMPARE(m_manager->downloadTotal(), 3000000.0);
    m_downloader->setProgress(1500000, 102400);
    QTRY_COMPARE(hint(), QStringLiteral("速度100K/s,已完成(50%)"));
    m_downloader->finish(Downloader::Finished);
    QVERIFY(!m_busy->last().first().toBool());
    QVERIFY(!m_manager->downloadClock().isActive());
    QCOMPARE(hint(), QStringLiteral("歌曲下载完毕"));
}

void DownloadManagerTest::whatPlaysIsSavedWhenNoRowIsSelected()
{
    // Title - singer, as the listening side names what plays.
    m_manager->setNowPlayingName(QStringLiteral("T - S"));
    m_player->setUrl(QStringLiteral("http://127.0.0.1/song/1/x.mp3"));
    m_player->report(3);
    m_dialogs->setSaveFileResult(QStringLiteral("/tmp/t.mp3"));
    m_manager->startDownload();
    QVERIFY(m_c->server.targets().isEmpty());
    QCOMPARE(m_dialogs->saveRequests().value(0).title, QStringLiteral("把 T - S.mp3 下载保存到我的电脑"));
    QCOMPARE(m_downloader->lastRequest().sourceUrl, QStringLiteral("http://127.0.0.1/song/1/x.mp3"));

    // A second start while one runs is refused by the downloader and
    // changes nothing here; after the end, a local file that plays is copied.
    m_downloader->finish(Downloader::Failed);
    QCOMPARE(hint(), QStringLiteral("歌曲下载失败"));
    m_manager->setNowPlayingName(QStringLiteral("一首"));
    m_player->setUrl(QStringLiteral("  /home/me/Music/一首.wav  "));
    m_manager->startDownload();
    QCOMPARE(m_dialogs->saveRequests().value(1).title, QStringLiteral("把 一首.wav 下载保存到我的电脑"));
    QCOMPARE(m_downloader->lastRequest().sourceUrl, QStringLiteral("/home/me/Music/一首.wav"));
}

void DownloadManagerTest::refusals_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("playState");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("hintText");
    QTest::addColumn<QString>("message");
    const QByteArray good = "<encode>http://h/a/b</encode><decode>c.mp3</decode>";
    QTest::newRow("nothing selected, nothing playing") << -1 << 2 << good << false << "请选择一个歌曲下载" << "";
    QTest::newRow("one-byte singer: silent") << 2 << 3 << good << false << "" << "";
    QTest::newRow("no address") << 0 << 3 << QByteArray("<decode>c.mp3</decode>") << false << ""
                                << "抱歉,该歌曲地址未找到!";
    QTest::newRow("no reply") << 0 << 3 << QByteArray() << false << "" << "抱歉,该歌曲地址未找到!";
    QTest::newRow("a local path from the catalogue") << 0 << 3
                                                      << QByteArray("<encode>/tmp/x/abc</encode><decode>p.mp3</decode>")
                                                      << false << "" << "抱歉,该歌曲地址未找到!";
    QTest::newRow("file: from the catalogue") << 0 << 3
                                               << QByteArray("<encode>file:///etc/abc</encode><decode>passwd</decode>")
                                               << false << "" << "抱歉,该歌曲地址未找到!";
    QTest::newRow("cancelled") << 0 << 3 << good << true << "下载任务取消" << "";
}

void DownloadManagerTest::refusals()
{
    QFETCH(int, row);
    QFETCH(int, playState);
    QFETCH(QByteArray, reply);
    QFETCH(bool, cancel);
    QFETCH(QString, hintText);
    QFETCH(QString, message);
    m_reply = reply;
    m_player->setUrl(QStringLiteral("http://h/playing.mp3"));
    m_player->report(playState);
    selectRow(row);
    m_dialogs->setSaveFileResult(cancel ? QString() : QStringLiteral("/tmp/x.mp3"));
    m_manager->startDownload();
    QCOMPARE(hint(), hintText);
    QCOMPARE(m_dialogs->messages().isEmpty() ? QString() : m_dialogs->messages().first().text, message);
    if (!message.isEmpty())
        QCOMPARE(m_dialogs->messages().first().title, QStringLiteral("提示"));
    QCOMPARE(m_dialogs->saveRequests().size(), cancel ? 1 : 0);
    QVERIFY(m_downloader->requests().isEmpty());
    QVERIFY(m_busy->isEmpty());
    QVERIFY(!m_manager->downloadClock().isActive());
}

void DownloadManagerTest::endsAndStops()
{
    selectRow(3);
    m_dialogs->setSaveFileResult(QStringLiteral("/tmp/a.wma"));
    m_manager->startDownload();
    // Unsafe characters of catalogue texts never reach the file name.
    QCOMPARE(m_dialogs->saveRequests().value(0).title, QStringLiteral("把 S_1 - T_2_.wma 下载保存到我的电脑"));
    m_downloader->reportSize(1000);
    // Stop asks the downloader; the arrangement waits for the end event.
    m_manager->stopDownload();
    QCOMPARE(m_downloader->calls().last(), QStringLiteral("stop"));
    QVERIFY(m_busy->last().first().toBool());
    m_downloader->finish(Downloader::Stopped);
    QCOMPARE(hint(), QStringLiteral("下载已停止"));
    QVERIFY(!m_busy->last().first().toBool());

    // The next transfer starts from no size: its first tick says connecting.
    m_manager->startDownload();
    QCOMPARE(m_manager->downloadTotal(), 0.0);
    m_manager->showDownloadProgress();
    QCOMPARE(hint(), QStringLiteral("正在连接中..."));
    m_manager->releaseDownloader();
    QVERIFY(m_downloader->isReleased());
    QVERIFY(!m_manager->downloadClock().isActive());
}

QTEST_GUILESS_MAIN(DownloadManagerTest)
#include "tst_downloadmanager.moc"
