// Playback through the real main window: that each control reaches the
// playback controller and each of its announcements reaches the control
// that shows it. The controller's own rules are tested without a window
// (tests/playback).
#include "mainwindow.h"
#include "offscreen.h"
#include "scriptedcatalogue.h"
#include "songlistmodel.h"
#include "windowservices.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTreeView>
#include <QtTest>

namespace {

const char *kRows = "<name>甲$$一$$$$</name><name>乙$$$$</name><name>Z$$Zed$$$$</name>";

} // namespace

class PlaybackWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void doubleClickListensAndTheControlsFollowThePlayer();
    void continuousPlayMovesTheListAndTheSearchBox();
    void channelItemsTickAndSetTheBalance();
    void playerButtonsAndItems();
    void propertiesWindowShowsTheMedia();

private:
    template <typename T = QWidget> T *control(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromUtf8(name));
    }
    QAction *item(const char *name) const { return menuItem(m_window, QString::fromUtf8(name)); }
    QTreeView *view() const { return control<QTreeView>("播放列表框"); }

    std::unique_ptr<WindowServices> m_s;
    std::unique_ptr<MusicBox> m_box;
    MainWindow *m_window = nullptr;
    FakeMediaPlayer *m_player = nullptr;
};

void PlaybackWindowTest::initTestCase()
{
    silenceOffscreenWarnings();
}

void PlaybackWindowTest::init()
{
    m_s = std::make_unique<WindowServices>(echoSongAddress);
    m_player = &m_s->player;
    m_box = m_s->openWindow();
    m_window = &m_box->window();
    SongListModel &songs = m_box->subsystems().songs;
    songs.clear();
    songs.fillSongList(QString::fromUtf8(kRows), 0, QStringLiteral("沐弦软件"));
    m_s->server.clearTargets();
}

void PlaybackWindowTest::cleanup()
{
    m_box.reset();
    m_s.reset();
}

void PlaybackWindowTest::doubleClickListensAndTheControlsFollowThePlayer()
{
    const QPoint at = view()->visualRect(m_box->subsystems().songs.index(0, 1)).center();
    QTest::mouseClick(view()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(m_s->server.targets(),
             QList<QByteArray>{"/x?op=12&count=1&mtype=2&title=%BC%D7$$%D2%BB$$$$&listenreelect=0"});
    QCOMPARE(m_player->url(), QStringLiteral("http://127.0.0.1/song/7/%BC%D7$$%D2%BB$$$$.mp3"));

    m_player->report(9);
    QCOMPARE(control<QLabel>("缓冲标签")->text(), QStringLiteral("正在连接中,请稍后..."));
    QCOMPARE(control<QLabel>("播放下载标签")->text(), QStringLiteral("正在连接中,请稍后..."));
    m_player->report(3);
    QCOMPARE(control<QLabel>("缓冲标签")->text(), QStringLiteral("一 - 甲"));
    QVERIFY(control<QAbstractButton>("暂停图形按钮")->isChecked());
    QVERIFY(item("停止")->isEnabled());
    QVERIFY(item("属性")->isEnabled());
    // The progress clock writes the progress label.
    m_player->setPosition(QStringLiteral("00:01"));
    m_player->setDuration(QStringLiteral("00:14"));
    QTRY_COMPARE(control<QLabel>("进度透明标签")->text(), QStringLiteral("00:01/00:14"));
    m_player->report(1);
    QCOMPARE(control<QLabel>("缓冲标签")->text(), QStringLiteral("已停止"));
    QCOMPARE(control<QLabel>("播放下载标签")->text(), QStringLiteral("请选择一个列表播放"));
    QVERIFY(!control<QAbstractButton>("暂停图形按钮")->isChecked());
    QVERIFY(!item("停止")->isEnabled());
    QVERIFY(!item("属性")->isEnabled());
}

void PlaybackWindowTest::continuousPlayMovesTheListAndTheSearchBox()
{
    item("开启连播")->trigger();
    view()->setCurrentIndex(m_box->subsystems().songs.index(0, 1));
    item("试听")->trigger();
    m_player->report(3);
    m_player->report(8);
    m_player->report(1);
    QTRY_COMPARE(m_s->server.targets().size(), 2);
    QCOMPARE(view()->currentIndex().row(), 1);
    QCOMPARE(control<QLineEdit>("搜索框")->text(), QStringLiteral("沐弦软件 - 乙"));
    // Unticked, the end of a song stays the end.
    item("开启连播")->trigger();
    m_player->report(1);
    QTest::qWait(300);
    QCOMPARE(m_s->server.targets().size(), 2);
}

void PlaybackWindowTest::channelItemsTickAndSetTheBalance()
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

void PlaybackWindowTest::playerButtonsAndItems()
{
    // Play/pause with nothing loaded asks for a file; cancelled, the face stays.
    auto *playPause = control<QAbstractButton>("暂停图形按钮");
    QTest::mouseClick(playPause, Qt::LeftButton);
    QCOMPARE(m_s->dialogs.openRequests().size(), 1);
    QVERIFY(!playPause->isChecked());

    m_s->dialogs.setOpenFileResult(QStringLiteral("/home/me/Music/一首.mp3"));
    m_player->clearCalls();
    QTest::mouseClick(control("打开图形按钮"), Qt::LeftButton);
    item("打开文件")->trigger(); // the same file again: nothing reloads
    QCOMPARE(m_s->dialogs.openRequests().size(), 3);
    QCOMPARE(m_player->calls(), QStringList{QStringLiteral("url=/home/me/Music/一首.mp3")});

    m_player->report(3);
    m_player->clearCalls();
    item("播放/暂停")->trigger();
    QTest::mouseClick(control("停止图形按钮"), Qt::LeftButton);
    item("停止")->trigger();
    QCOMPARE(m_player->calls(), (QStringList{QStringLiteral("pause"), QStringLiteral("stop"), QStringLiteral("stop")}));
}

void PlaybackWindowTest::propertiesWindowShowsTheMedia()
{
    view()->setCurrentIndex(m_box->subsystems().songs.index(0, 1));
    item("试听")->trigger();
    m_player->setItemInfo(QStringLiteral("FileType"), QStringLiteral("mp3"));
    m_player->setItemInfo(QStringLiteral("FileSize"), QStringLiteral("123456"));
    m_player->setItemInfo(QStringLiteral("SourceURL"), QStringLiteral("http://127.0.0.1/song/7/a.mp3"));
    m_player->setDuration(QStringLiteral("00:14"));
    m_player->report(3);
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

QTEST_MAIN(PlaybackWindowTest)
#include "tst_playback.moc"
