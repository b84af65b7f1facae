// The music box as an MPRIS2 player on a private session bus (the test runs
// under dbus-run-session): a second connection plays the desktop's part,
// reads the properties and calls the methods while a (scripted) song plays.
#include "mainwindow.h"
#include "mprisservice.h"
#include "offscreen.h"
#include "songlistmodel.h"
#include "windowservices.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>

namespace {

FixtureReply catalogueReply(const QByteArray &target)
{
    FixtureReply reply;
    if (target.startsWith("/x?op=12&"))
        reply.body = "<encode>http://127.0.0.1/song/7/tok</encode><decode>" + target.mid(target.indexOf("title=") + 6, 4)
            + ".mp3</decode>";
    return reply;
}

const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

class MprisTest : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void theDesktopSeesAndDrivesThePlayer();

private:
    QDBusMessage call(const QString &interface, const QString &method, const QVariantList &args = {});
    QVariant property(const QString &interface, const QString &name);

    std::unique_ptr<WindowServices> m_s;
    std::unique_ptr<MusicBox> m_box;
    QDBusConnection m_desktop{QString()};
};

void MprisTest::initTestCase()
{
    silenceOffscreenWarnings();
    if (!QDBusConnection::sessionBus().isConnected())
        QSKIP("no session bus: run under dbus-run-session");
    m_s = std::make_unique<WindowServices>(catalogueReply);
    m_box = m_s->openWindow();
    QVERIFY(m_box->offerOnSessionBus());
    m_desktop = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("desktop"));
    QVERIFY(m_desktop.isConnected());
}

void MprisTest::cleanupTestCase()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("desktop"));
    m_box.reset();
    m_s.reset();
}

// The service lives on this thread, so the desktop's calls are asynchronous
// and the event loop runs while they are answered.
QDBusMessage MprisTest::call(const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(MprisService::kServiceName, MprisService::kObjectPath,
                                                          interface, method);
    message.setArguments(args);
    QDBusPendingCall pending = m_desktop.asyncCall(message, 5000);
    if (!QTest::qWaitFor([&pending] { return pending.isFinished(); }, 6000))
        qWarning("no answer to %s", qPrintable(method));
    return pending.reply();
}

QVariant MprisTest::property(const QString &interface, const QString &name)
{
    const QDBusMessage reply =
        call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return {};
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

void MprisTest::theDesktopSeesAndDrivesThePlayer()
{
    QCOMPARE(property(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")).toString(),
             QStringLiteral("沐弦音乐盒"));
    QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Stopped"));
    QCOMPARE(property(kPlayer, QStringLiteral("CanGoPrevious")).toBool(), false);

    // A song plays: status and metadata follow.
    SongListModel &songs = m_box->subsystems().songs;
    songs.clear();
    songs.fillSongList(QStringLiteral("<name>歌手$$歌名</name><name>乙$$二</name>"), 0, QString());
    m_box->window().findChild<QTreeView *>(QStringLiteral("播放列表框"))->setCurrentIndex(songs.index(0, 1));
    m_box->window().findChild<QAction *>(QStringLiteral("试听"))->trigger();
    m_s->player.setDuration(QStringLiteral("03:25"));
    m_s->player.setPosition(QStringLiteral("01:02"));
    m_s->player.report(3);
    QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Playing"));
    const QVariantMap metadata = qdbus_cast<QVariantMap>(property(kPlayer, QStringLiteral("Metadata")));
    QCOMPARE(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("歌名"));
    QCOMPARE(metadata.value(QStringLiteral("xesam:artist")).toStringList(), QStringList{QStringLiteral("歌手")});
    QCOMPARE(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 205'000'000LL);
    QCOMPARE(metadata.value(QStringLiteral("xesam:url")).toString(), m_s->player.url());
    QCOMPARE(property(kPlayer, QStringLiteral("Position")).toLongLong(), 62'000'000LL);

    // The media keys: as the player menu.
    m_s->player.clearCalls();
    call(kPlayer, QStringLiteral("PlayPause"));
    call(kPlayer, QStringLiteral("Play")); // already playing: nothing
    call(kPlayer, QStringLiteral("Stop"));
    QCOMPARE(m_s->player.calls(), (QStringList{QStringLiteral("pause"), QStringLiteral("stop")}));
    m_s->player.report(2);
    QCOMPARE(property(kPlayer, QStringLiteral("PlaybackStatus")).toString(), QStringLiteral("Paused"));

    // Next: the next row, as continuous play would.
    m_s->server.clearTargets();
    call(kPlayer, QStringLiteral("Next"));
    QCOMPARE(m_s->server.targets().size(), 1);
    QVERIFY(m_s->server.targets().first().contains("title=%D2%D2$$%B6%FE"));
    QCOMPARE(songs.index(1, 0).row(),
             m_box->window().findChild<QTreeView *>(QStringLiteral("播放列表框"))->currentIndex().row());

    // Raise brings back a window hidden in the tray.
    m_box->window().hideToTray();
    QVERIFY(!m_box->window().isVisible());
    call(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Raise"));
    QVERIFY(m_box->window().isVisible());
}

QTEST_MAIN(MprisTest)
#include "tst_mpris.moc"
