// Downloads, lyrics and the volume through the real main window: that the
// controls reach their controllers and what these announce reaches the
// controls. Their rules are tested without a window (tests/downloads,
// tests/lyrics, tests/volume).
#include "mainwindow.h"
#include "offscreen.h"
#include "songlistmodel.h"
#include "windowservices.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTreeView>
#include <QtTest>

namespace {

FixtureReply catalogueReply(const QByteArray &target)
{
    FixtureReply reply;
    if (target.startsWith("/x?op=12&"))
        reply.body = "<encode>http://127.0.0.1/song/7/tok</encode><decode>a.mp3</decode><lrcid>987</lrcid>";
    return reply;
}

} // namespace

class FeaturesWindowTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void downloadSwapsTheControlsAndShowsItsProgress();
    void lyricsOpenTheLyricsAddress();
    void volumeThumbDragsAndMuteToggles();

private:
    template <typename T = QWidget> T *control(const char *name) const
    {
        return m_window->findChild<T *>(QString::fromUtf8(name));
    }
    QAction *item(const char *name) const { return menuItem(m_window, QString::fromUtf8(name)); }
    void selectFirstRow()
    {
        m_window->findChild<QTreeView *>(QStringLiteral("播放列表框"))
            ->setCurrentIndex(m_box->subsystems().songs.index(0, 1));
    }

    std::unique_ptr<WindowServices> m_s;
    std::unique_ptr<MusicBox> m_box;
    MainWindow *m_window = nullptr;
};

void FeaturesWindowTest::initTestCase()
{
    silenceOffscreenWarnings();
}

void FeaturesWindowTest::init()
{
    m_s = std::make_unique<WindowServices>(catalogueReply);
    m_box = m_s->openWindow();
    m_window = &m_box->window();
    m_box->subsystems().songs.fillSongList(QStringLiteral("<name>歌手$$歌名</name>"), 0, QString());
}

void FeaturesWindowTest::cleanup()
{
    m_box.reset();
    m_s.reset();
}

void FeaturesWindowTest::downloadSwapsTheControlsAndShowsItsProgress()
{
    auto *start = control<QLabel>("下载透明标签");
    auto *stop = control<QLabel>("停止下载标签");
    auto *hint = control<QLabel>("下载提示透明标签");
    selectFirstRow();
    m_s->dialogs.setSaveFileResult(QStringLiteral("/tmp/歌手 - 歌名.mp3"));
    QTest::mousePress(start, Qt::LeftButton);
    QCOMPARE(m_s->downloader.lastRequest().targetPath, QStringLiteral("/tmp/歌手 - 歌名.mp3"));
    QVERIFY(!start->isVisible());
    QVERIFY(stop->isVisible());
    QVERIFY(!item("下载")->isVisible());
    QVERIFY(item("停止下载")->isVisible());
    QTRY_COMPARE(hint->text(), QStringLiteral("正在连接中..."));
    m_s->downloader.reportSize(2700000);
    m_s->downloader.setProgress(1000000, 46080);
    QTRY_COMPARE(hint->text(), QStringLiteral("速度45K/s,已完成(37%)"));

    QTest::mousePress(stop, Qt::LeftButton);
    item("停止下载")->trigger();
    QCOMPARE(m_s->downloader.calls().mid(1), (QStringList{"stop", "stop"}));
    m_s->downloader.finish(Downloader::Stopped);
    QCOMPARE(hint->text(), QStringLiteral("下载已停止"));
    QVERIFY(start->isVisible());
    QVERIFY(!stop->isVisible());
    QVERIFY(item("下载")->isVisible());
    QVERIFY(!item("停止下载")->isVisible());

    // 下载(&D) starts as the label does; 刷新 clears the hint.
    m_s->dialogs.setSaveFileResult(QString());
    item("下载")->trigger();
    QCOMPARE(hint->text(), QStringLiteral("下载任务取消"));
    item("刷新")->trigger();
    QCOMPARE(hint->text(), QString());
}

void FeaturesWindowTest::lyricsOpenTheLyricsAddress()
{
    selectFirstRow();
    item("歌词")->trigger();
    QCOMPARE(m_s->urlOpener.opened(), QStringList{QString::fromLatin1(m_s->server.baseUrl()) + "/bdlrc/9/987.lrc"});
}

void FeaturesWindowTest::volumeThumbDragsAndMuteToggles()
{
    // The start-up volume, set once as the window was created.
    QCOMPARE(m_s->volume.calls(), (QStringList{"open", "volume=33050,33069", "close"}));
    m_s->volume.clearCalls();

    auto *thumb = control<QAbstractButton>("音量拖动");
    QCOMPARE(thumb->x(), -13);
    QTest::mousePress(thumb, Qt::LeftButton, {}, QPoint(30, 6));
    for (int x : {40, 50, 60}) {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, 6), thumb->mapToGlobal(QPointF(x, 6)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(thumb, &move);
    }
    QTest::mouseRelease(thumb, Qt::LeftButton, {}, QPoint(60, 6));
    QCOMPARE(thumb->x(), -10);
    QCOMPARE(m_s->volume.calls().size(), 9);
    QCOMPARE(m_s->volume.calls().at(7), QStringLiteral("volume=50236,50265"));

    m_s->volume.clearCalls();
    auto *mute = control<QAbstractButton>("图形按钮6");
    QTest::mouseClick(mute, Qt::LeftButton);
    QVERIFY(mute->isChecked());
    QTest::mouseClick(mute, Qt::LeftButton);
    QCOMPARE(m_s->volume.calls(), (QStringList{"open", "mute=1", "close", "open", "mute=0", "close"}));
}

QTEST_MAIN(FeaturesWindowTest)
#include "tst_featureswindow.moc"
