// One whole listening session with the real parts: the catalogue server on
// a small generated library, libcurl, GStreamer (into a silent sink that
// keeps real time) and the main window. Double-click a row, hear it to the
// end, and with continuous play the next row follows by itself.
#include "catalogueserverprocess.h"
#include "curldownloader.h"
#include "curlhttpclient.h"
#include "fakedialogs.h"
#include "fakeregistry.h"
#include "fakesystemvolume.h"
#include "faketray.h"
#include "fakeurlopener.h"
#include "gstmediaplayer.h"
#include "gsttestmedia.h"
#include "mainwindow.h"
#include "musicbox.h"
#include "offscreen.h"
#include "songlistmodel.h"

#include <QAction>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>
#include <QtTest>

// The real catalogue client, player (into a silent sink that keeps real
// time) and downloader; fakes where the test looks at nothing.
struct RealParts
{
    CurlHttpClient http;
    FakeRegistry registry;
    FakeDialogs dialogs;
    FakeTray tray;
    CurlDownloader downloader;
    FakeSystemVolume volume;
    FakeUrlOpener urlOpener;
    GstMediaPlayer player{QStringLiteral("fakesink sync=true")};

    Services services(const QByteArray &catalogue)
    {
        return {http, registry, dialogs, tray, player, downloader, volume, urlOpener, catalogue};
    }
};

class EndToEndTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void listenThenContinueWithTheNextRow();
    void everyFormatOfTheDemoLibraryPlays_data();
    void everyFormatOfTheDemoLibraryPlays();
    void aDownloadIsTheLibrarysFileByteForByte();

private:
    QTemporaryDir m_library;
    std::unique_ptr<CatalogueServerProcess> m_server;
    QByteArray m_baseUrl;
};

void EndToEndTest::initTestCase()
{
    silenceOffscreenWarnings();

    // Two songs of two seconds, named "singer - title" (no tags).
    QVERIFY(m_library.isValid());
    const struct
    {
        const char *file;
        int frequency;
    } songs[] = {{"歌手甲 - 第一首.mp3", 440}, {"歌手乙 - 第二首.mp3", 660}};
    for (const auto &song : songs)
        QCOMPARE(runPipeline(QStringLiteral("audiotestsrc num-buffers=86 freq=%1 ! audioconvert ! lamemp3enc ! "
                                            "filesink location=\"%2\"")
                                 .arg(song.frequency)
                                 .arg(m_library.filePath(QString::fromUtf8(song.file)))),
                 QString());

    m_server = std::make_unique<CatalogueServerProcess>(QStringLiteral(CATALOGUE_SERVER), m_library.path());
    m_baseUrl = m_server->baseUrl();
    QVERIFY(!m_baseUrl.isEmpty());
}

void EndToEndTest::cleanupTestCase()
{
    m_server.reset();
}

void EndToEndTest::listenThenContinueWithTheNextRow()
{
    RealParts parts;
    GstMediaPlayer &player = parts.player;
    MusicBox musicBox(parts.services(m_baseUrl));
    musicBox.start();
    MainWindow &window = musicBox.window();
    const SongResolver &resolver = musicBox.subsystems().resolver;

    auto *box = window.findChild<QLineEdit *>(QStringLiteral("搜索框"));
    box->setText(QStringLiteral("歌手"));
    QTest::mousePress(window.findChild<QWidget *>(QStringLiteral("搜索透明标签")), Qt::LeftButton);
    SongListModel &songs = musicBox.subsystems().songs;
    QCOMPARE(songs.rowCount(), 2);
    auto nameOf = [&songs](int row) {
        return songs.cell(row, SongListModel::TitleColumn) + QStringLiteral(" - ")
            + songs.cell(row, SongListModel::SingerColumn);
    };
    auto keyOf = [&songs](int row) {
        return songs.cell(row, SongListModel::SingerColumn) + QStringLiteral("$$")
            + songs.cell(row, SongListModel::TitleColumn);
    };
    QVERIFY(nameOf(0) == QStringLiteral("第一首 - 歌手甲") || nameOf(0) == QStringLiteral("第二首 - 歌手乙"));

    window.findChild<QAction *>(QStringLiteral("开启连播"))->trigger();
    auto *view = window.findChild<QTreeView *>(QStringLiteral("播放列表框"));
    const QPoint at = view->visualRect(songs.index(0, 1)).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);

    QElapsedTimer clock;
    clock.start();
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(resolver.lastRequest().currentSongKey, keyOf(0));
    QVERIFY(resolver.lastRequest().addressReply.contains(QStringLiteral("<encode>")));
    QVERIFY2(player.url().startsWith(QString::fromLatin1(m_baseUrl + "/song/")), qPrintable(player.url()));

    auto *status = window.findChild<QLabel *>(QStringLiteral("缓冲标签"));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    qInfo("double-click to Playing: %lld ms", clock.elapsed());
    QCOMPARE(status->text(), nameOf(0));

    // The song ends; 200 ms later the next row is resolved and plays.
    QTRY_COMPARE_WITH_TIMEOUT(view->currentIndex().row(), 1, 10000);
    QCOMPARE(resolver.lastRequest().currentSongKey, keyOf(1));
    QCOMPARE(box->text(), nameOf(1));
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), nameOf(1), 10000);
    QCOMPARE(player.playState(), int(MediaPlayer::Playing));

    // After the last row continuous play ends quietly.
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("已停止"), 10000);
    QTest::qWait(400);
    QCOMPARE(view->currentIndex().row(), 1);
    QCOMPARE(player.playState(), int(MediaPlayer::Stopped));
}

void EndToEndTest::everyFormatOfTheDemoLibraryPlays_data()
{
    QTest::addColumn<QString>("extension");
    for (const char *extension : {"mp3", "wma", "wav", "mid"})
        QTest::newRow(extension) << QString::fromLatin1(extension);
}

void EndToEndTest::everyFormatOfTheDemoLibraryPlays()
{
    QFETCH(QString, extension);
    const QDir library(QStringLiteral(DEMO_LIBRARY));
    if (!library.exists())
        QSKIP("the demo library has not been generated");
    QString file;
    QDirIterator it(library.path(), {QStringLiteral("*.") + extension}, QDir::Files, QDirIterator::Subdirectories);
    if (it.hasNext())
        file = it.next();
    QVERIFY2(!file.isEmpty(), "the demo library has a file of every format");

    const CatalogueServerProcess server(QStringLiteral(CATALOGUE_SERVER), library.path());
    const QByteArray base = server.baseUrl();
    QVERIFY(!base.isEmpty());

    RealParts parts;
    GstMediaPlayer &player = parts.player;
    MusicBox musicBox(parts.services(base));
    MainWindow &window = musicBox.window();
    window.show();
    SongListModel &songs = musicBox.subsystems().songs;
    // The song is found by its name, as a user would.
    const QString name = QFileInfo(file).completeBaseName();
    auto *box = window.findChild<QLineEdit *>(QStringLiteral("搜索框"));
    box->setText(name.section(QStringLiteral(" - "), 1));
    QTest::mousePress(window.findChild<QWidget *>(QStringLiteral("搜索透明标签")), Qt::LeftButton);
    QVERIFY2(songs.rowCount() >= 1, qPrintable(name));
    auto *view = window.findChild<QTreeView *>(QStringLiteral("播放列表框"));
    view->setCurrentIndex(songs.index(0, 1));
    window.findChild<QAction *>(QStringLiteral("试听"))->trigger();
    QVERIFY2(player.url().endsWith(QStringLiteral(".") + extension), qPrintable(player.url()));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPositionString() >= QStringLiteral("00:01"), 5000);
    QCOMPARE(player.itemInfo(QStringLiteral("FileType")), extension);
    player.stop();
}

void EndToEndTest::aDownloadIsTheLibrarysFileByteForByte()
{
    RealParts parts;
    FakeDialogs &dialogs = parts.dialogs;
    MusicBox musicBox(parts.services(m_baseUrl));
    musicBox.start();
    MainWindow &window = musicBox.window();
    SongListModel &songs = musicBox.subsystems().songs;

    auto *box = window.findChild<QLineEdit *>(QStringLiteral("搜索框"));
    box->setText(QStringLiteral("第一首"));
    QTest::mousePress(window.findChild<QWidget *>(QStringLiteral("搜索透明标签")), Qt::LeftButton);
    QCOMPARE(songs.rowCount(), 1);
    window.findChild<QTreeView *>(QStringLiteral("播放列表框"))->setCurrentIndex(songs.index(0, 1));

    QTemporaryDir target;
    const QString path = target.filePath(QStringLiteral("saved.mp3"));
    dialogs.setSaveFileResult(path);
    QTest::mousePress(window.findChild<QWidget *>(QStringLiteral("下载透明标签")), Qt::LeftButton);
    QCOMPARE(dialogs.saveRequests().value(0).title, QStringLiteral("把 歌手甲 - 第一首.mp3 下载保存到我的电脑"));
    auto *hint = window.findChild<QLabel *>(QStringLiteral("下载提示透明标签"));
    QTRY_COMPARE_WITH_TIMEOUT(hint->text(), QStringLiteral("歌曲下载完毕"), 10000);

    QFile saved(path);
    QFile original(m_library.filePath(QStringLiteral("歌手甲 - 第一首.mp3")));
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(original.open(QIODevice::ReadOnly));
    QVERIFY2(original.size() > 1000, qPrintable(QString::number(original.size())));
    QVERIFY(saved.readAll() == original.readAll());
    QCOMPARE(QDir(target.path()).entryList(QDir::Files), QStringList{QStringLiteral("saved.mp3")});
}

QTEST_MAIN(EndToEndTest)
#include "tst_endtoend.moc"
