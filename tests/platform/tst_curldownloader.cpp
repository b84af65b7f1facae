// CurlDownloader against a real loopback server and real folders: what lands
// on disk, which events reach the UI thread, and that nothing is left behind
// by a failure, a stop or a release.

#include "curldownloader.h"
#include "fixtureserver.h"
#include "refusingport.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/mount.h>

#include <memory>

using namespace std::chrono_literals;

Q_DECLARE_METATYPE(FixtureServer::Handler)

namespace {

const QString finishedText = QStringLiteral("歌曲下载完毕");
const QString failedText = QStringLiteral("歌曲下载失败");
const QString stoppedText = QStringLiteral("下载已停止");

// Bytes that differ from position to position, so a shifted or repeated
// piece shows in a comparison.
QByteArray pattern(qsizetype size, quint32 seed = 7)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 x = seed;
    for (qsizetype i = 0; i < size; ++i) {
        x = x * 1664525u + 1013904223u;
        bytes[i] = static_cast<char>(x >> 24);
    }
    return bytes;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A small tmpfs mounted over a folder for the life of the object; needs
// root (or CAP_SYS_ADMIN).
class ScratchMount
{
public:
    ScratchMount(const QString &dir, const char *options, unsigned long flags)
        : m_dir(QFile::encodeName(dir))
    {
        m_mounted = ::mount("tmpfs", m_dir.constData(), "tmpfs", flags, options) == 0;
    }
    ~ScratchMount()
    {
        if (m_mounted)
            ::umount2(m_dir.constData(), MNT_DETACH);
    }
    ScratchMount(const ScratchMount &) = delete;
    ScratchMount &operator=(const ScratchMount &) = delete;
    bool isMounted() const { return m_mounted; }

private:
    QByteArray m_dir;
    bool m_mounted = false;
};

// The events of one downloader as "3:<total>" and "4:<outcome>:<text>".
class EventLog
{
public:
    explicit EventLog(Downloader *downloader)
        : m_spy(downloader, &Downloader::downloadEvent)
    {
    }

    QStringList events() const
    {
        QStringList out;
        for (const QList<QVariant> &args : m_spy) {
            QString line = QString::number(args.at(0).toInt()) + u':' + QString::number(args.at(1).toLongLong());
            if (args.at(0).toInt() == Downloader::Ended)
                line += u':' + args.at(2).toString();
            out << line;
        }
        return out;
    }

    bool ended() const
    {
        for (const QList<QVariant> &args : m_spy)
            if (args.at(0).toInt() == Downloader::Ended)
                return true;
        return false;
    }

    bool waitEnded(int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!ended() && !deadline.hasExpired())
            QTest::qWait(5);
        return ended();
    }

    // The outcome text of the end event, empty while there is none.
    QString outcome() const
    {
        for (const QList<QVariant> &args : m_spy)
            if (args.at(0).toInt() == Downloader::Ended)
                return args.at(2).toString();
        return {};
    }

    void clear() { m_spy.clear(); }

private:
    QSignalSpy m_spy;
};

DownloadRequest requestFor(const QString &source, const QString &target)
{
    DownloadRequest request;
    // The values the download command writes before each transfer.
    request.setting1 = 4096;
    request.sourceUrl = source;
    request.setting11 = 1000;
    request.setting6 = 10;
    request.targetPath = target;
    request.connectTimeoutMs = 5000;
    request.setting9 = 5001;
    request.setting10 = 10000;
    request.setting12 = 20480;
    return request;
}

CurlDownloader::Options quickStall()
{
    CurlDownloader::Options options;
    options.stallTimeout = 1s;
    return options;
}

} // namespace

class TestCurlDownloader : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void startUpRequest();
    void downloadsByteForByte_data();
    void downloadsByteForByte();
    void eventsReachTheOwnersThread();
    void completeFileWhileTheServerKeepsTheConnection();
    void failureLeavesNothingAndNextTransferWorks_data();
    void failureLeavesNothingAndNextTransferWorks();
    void hugeAnnouncedSizeIsReportedExactly();
    void rateCoversTheLastSecondOnly();
    void stopEndsAtOnceAndLeavesNothing_data();
    void stopEndsAtOnceAndLeavesNothing();
    void oneTransferAtATime();
    void releaseDuringTransferCleansUp();
    void destroyDuringTransferCleansUp();
    void readOnlyFolderFails();
    void fullDiskFails();
    void copiesLocalFile();
    void missingLocalFileFails();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QStringList files() const { return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden); }
};

void TestCurlDownloader::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

// The record as the program creates it at start-up.
void TestCurlDownloader::startUpRequest()
{
    const DownloadRequest r;
    QCOMPARE(r.setting1, 1);
    QVERIFY(r.sourceUrl.isEmpty() && r.targetPath.isEmpty());
    QCOMPARE(r.userName, QStringLiteral("anonymous"));
    QCOMPARE(r.password.size(), 17);
    QVERIFY(r.password.startsWith(QStringLiteral("anonymous@")));
    QCOMPARE(r.setting6, 1);
    QCOMPARE(r.setting7, 0);
    QCOMPARE(r.connectTimeoutMs, 20000);
    QCOMPARE(r.setting9, 20000);
    QCOMPARE(r.setting10, 20000);
    QCOMPARE(r.setting11, 1000);
    QCOMPARE(r.setting12, 20480);
    QCOMPARE(r.setting13, 1024);
    QCOMPARE(r.setting14, 0);
    QVERIFY(!r.eventHandler);
    QVERIFY(r.setting16.isEmpty());
    QCOMPARE(r.setting17, 1);
    QCOMPARE(r.fileTypes, QStringLiteral(".exe|.rar|.zip|.gif|.jpg|.mp3|.rm"));
    QVERIFY(r.setting19.isEmpty() && r.setting20.isEmpty());
}

void TestCurlDownloader::downloadsByteForByte_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("redirects");

    QTest::newRow("direct") << pattern(3 * 1024 * 1024 + 17) << 0;
    QTest::newRow("three redirects") << pattern(200 * 1024) << 3;
    QTest::newRow("empty file") << QByteArray() << 0;
}

// The size event, then the end with success; the target holds exactly the
// served bytes, replacing a file that was there; no partial file remains.
void TestCurlDownloader::downloadsByteForByte()
{
    QFETCH(QByteArray, body);
    QFETCH(int, redirects);

    FixtureServer server;
    server.setHandler([&](const QByteArray &target) {
        const int hop = target.mid(target.lastIndexOf('/') + 1).toInt();
        FixtureReply reply;
        if (hop < redirects) {
            reply.status = 302;
            reply.headers = {"Location: /hop/" + QByteArray::number(hop + 1)};
            reply.body = "moved";
        } else {
            reply.body = body;
            reply.contentType = "audio/mpeg";
        }
        return reply;
    });
    const QString target = path(QStringLiteral("歌手 - 歌名.mp3"));
    QVERIFY(writeFile(target, "an older file of the same name"));

    CurlDownloader downloader;
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/hop/0", target)));
    QVERIFY(log.waitEnded());

    QCOMPARE(log.events(), QStringList({QStringLiteral("3:%1").arg(body.size()),
                                        QStringLiteral("4:0:") + finishedText}));
    QVERIFY(readAll(target) == body);
    QCOMPARE(files(), QStringList{QFileInfo(target).fileName()});
    QCOMPARE(downloader.receivedBytes(), qint64(body.size()));
    QCOMPARE(downloader.bytesPerSecond(), qint64(0));
    QCOMPARE(server.targets().size(), redirects + 1);
}

// The request's handler (field 15) and the signal both run on the thread
// that owns the downloader, never on its worker.
void TestCurlDownloader::eventsReachTheOwnersThread()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(100 * 1024);
    server.setReply(reply);

    CurlDownloader downloader;
    QStringList handled;
    bool allOnOwnerThread = true;
    DownloadRequest request = requestFor(server.baseUrl() + "/a.mp3", path("a.mp3"));
    request.eventHandler = [&](int code, qint64 value, const QString &text) {
        allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == downloader.thread();
        handled << QStringLiteral("%1:%2:%3").arg(code).arg(value).arg(text);
        return 0;
    };
    connect(&downloader, &Downloader::downloadEvent, this, [&] {
        allOnOwnerThread = allOnOwnerThread && QThread::currentThread() == downloader.thread();
    });
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(request));
    QVERIFY(log.waitEnded());
    QVERIFY(allOnOwnerThread);
    QCOMPARE(handled, QStringList({QStringLiteral("3:102400:"), QStringLiteral("4:0:") + finishedText}));
}

// A server that keeps the connection open after the announced bytes: the
// file counts as complete after a short grace, well before the stall limit.
void TestCurlDownloader::completeFileWhileTheServerKeepsTheConnection()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(64 * 1024);
    reply.holdOpenMs = 20000;
    server.setReply(reply);

    CurlDownloader::Options options;
    options.stallTimeout = 10s;
    CurlDownloader downloader(options);
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/a.mp3", path("a.mp3"))));
    QVERIFY(log.waitEnded(5000));
    QCOMPARE(log.outcome(), finishedText);
    QVERIFY(readAll(path("a.mp3")) == reply.body);
}

void TestCurlDownloader::failureLeavesNothingAndNextTransferWorks_data()
{
    QTest::addColumn<FixtureServer::Handler>("handler");
    QTest::addColumn<QString>("source"); // %1: the fixture's base address
    QTest::addColumn<int>("maxRequests");

    const auto reply = [](FixtureReply r) { return FixtureServer::Handler([r](const QByteArray &) { return r; }); };
    FixtureReply r;

    r = {};
    r.status = 404;
    r.body = "<html>not found</html>";
    QTest::newRow("404") << reply(r) << "%1/song.mp3" << 1;
    r.status = 500;
    QTest::newRow("500") << reply(r) << "%1/song.mp3" << 1;

    QTest::newRow("refused port") << FixtureServer::Handler() << "refused" << 0;

    QTest::newRow("redirect loop") << FixtureServer::Handler([](const QByteArray &) {
        FixtureReply loop;
        loop.status = 302;
        loop.headers = {"Location: /song.mp3"};
        return loop;
    }) << "%1/song.mp3" << 6;
    QTest::newRow("redirect to a local file") << FixtureServer::Handler([](const QByteArray &) {
        FixtureReply away;
        away.status = 302;
        away.headers = {"Location: file:///etc/hostname"};
        return away;
    }) << "%1/song.mp3" << 1;

    r = {};
    r.mode = FixtureReply::Mode::Stall;
    QTest::newRow("stall before the answer") << reply(r) << "%1/song.mp3" << 1;
    r = {};
    r.body = pattern(256 * 1024);
    r.chunkDelayMs = 5000;
    QTest::newRow("stall within the body") << reply(r) << "%1/song.mp3" << 1;

    r = {};
    r.mode = FixtureReply::Mode::CloseEarly;
    r.body = pattern(64 * 1024);
    QTest::newRow("closes early") << reply(r) << "%1/song.mp3" << 1;

    r = {};
    r.body = QByteArray(100 * 1024 * 1024 + 64 * 1024, 'x');
    r.announcedLength = 64 * 1024;
    QTest::newRow("100 MB more than announced") << reply(r) << "%1/song.mp3" << 1;
    r.body = pattern(64 * 1024 + 1);
    QTest::newRow("one byte more than announced") << reply(r) << "%1/song.mp3" << 1;

    for (const char *source : {"ftp://127.0.0.1/song.mp3", "file:///etc/hostname", "relative/song.mp3", "",
                               "127.0.0.1/song.mp3", "gopher://127.0.0.1/1"})
        QTest::addRow("not http: \"%s\"", source) << FixtureServer::Handler() << QString::fromLatin1(source) << 0;
}

// Every fault ends with the failure text after at most one size event,
// leaves no file of its own and keeps the file that was there; the same
// downloader then completes a good transfer.
void TestCurlDownloader::failureLeavesNothingAndNextTransferWorks()
{
    QFETCH(FixtureServer::Handler, handler);
    QFETCH(QString, source);
    QFETCH(int, maxRequests);

    FixtureServer server;
    server.setHandler(handler);
    RefusingPort refusing;
    if (source == QLatin1String("refused"))
        source = QString::fromLatin1(refusing.baseUrl()) + QStringLiteral("/song.mp3");
    else if (source.contains(QLatin1String("%1")))
        source = source.arg(QString::fromLatin1(server.baseUrl()));

    const QString target = path("song.mp3");
    const QByteArray kept = "the song that was saved before";
    QVERIFY(writeFile(target, kept));

    CurlDownloader downloader(quickStall());
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(source, target)));
    QVERIFY(log.waitEnded());

    const QStringList events = log.events();
    QCOMPARE(events.last(), QStringLiteral("4:1:") + failedText);
    QVERIFY(events.size() == 1 || (events.size() == 2 && events.first().startsWith("3:")));
    QCOMPARE(readAll(target), kept);
    QCOMPARE(files(), QStringList{"song.mp3"});
    QVERIFY(server.targets().size() <= maxRequests);
    QCOMPARE(downloader.bytesPerSecond(), qint64(0));

    FixtureServer good;
    FixtureReply reply;
    reply.body = pattern(50 * 1024, 3);
    good.setReply(reply);
    log.clear();
    QVERIFY(downloader.startTransfer(requestFor(good.baseUrl() + "/next.mp3", path("next.mp3"))));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.outcome(), finishedText);
    QVERIFY(readAll(path("next.mp3")) == reply.body);
    QCOMPARE(downloader.receivedBytes(), qint64(reply.body.size()));
}

// A total beyond 32 bits reaches the size event unchanged.
void TestCurlDownloader::hugeAnnouncedSizeIsReportedExactly()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(64 * 1024);
    reply.announcedLength = Q_INT64_C(3) * 1024 * 1024 * 1024 + 5;
    server.setReply(reply);

    CurlDownloader downloader(quickStall());
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/big.iso", path("big.iso"))));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.events(), QStringList({QStringLiteral("3:3221225477"), QStringLiteral("4:1:") + failedText}));
    QCOMPARE(downloader.receivedBytes(), qint64(64 * 1024));
    QVERIFY(files().isEmpty());
}

// A burst followed by silence: the rate falls to 0 once the burst is more
// than a second old, where an average since the start would not.
void TestCurlDownloader::rateCoversTheLastSecondOnly()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(512 * 1024);
    reply.chunkDelayMs = 4000; // 16 KiB, then four seconds of nothing
    server.setReply(reply);

    CurlDownloader::Options options;
    options.stallTimeout = 10s;
    CurlDownloader downloader(options);
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/slow.mp3", path("slow.mp3"))));
    QTRY_COMPARE(downloader.receivedBytes(), qint64(16 * 1024));
    QTRY_VERIFY(downloader.bytesPerSecond() > 0);
    QTRY_COMPARE_WITH_TIMEOUT(downloader.bytesPerSecond(), qint64(0), 2500);
    QCOMPARE(downloader.receivedBytes(), qint64(16 * 1024));
    QVERIFY(!log.ended());
    downloader.stopTransfer();
    QVERIFY(log.waitEnded());
}

void TestCurlDownloader::stopEndsAtOnceAndLeavesNothing_data()
{
    QTest::addColumn<bool>("stalled");
    QTest::newRow("while bytes arrive") << false;
    QTest::newRow("while the server says nothing") << true;
}

// Stopping ends the transfer well within the 30 s stall limit, with the
// stop text, and removes the partial file; the old file stays.
void TestCurlDownloader::stopEndsAtOnceAndLeavesNothing()
{
    QFETCH(bool, stalled);

    FixtureServer server;
    FixtureReply reply;
    if (stalled) {
        reply.mode = FixtureReply::Mode::Stall;
    } else {
        reply.body = pattern(8 * 1024 * 1024);
        reply.chunkDelayMs = 20;
    }
    server.setReply(reply);
    const QString target = path("song.mp3");
    QVERIFY(writeFile(target, "old"));

    CurlDownloader downloader; // the default 30 s stall limit
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/song.mp3", target)));
    if (stalled)
        QTRY_COMPARE(server.targets().size(), 1);
    else
        QTRY_VERIFY(downloader.receivedBytes() > 32 * 1024);

    downloader.stopTransfer();
    QVERIFY(log.waitEnded(3000));
    QCOMPARE(log.events().last(), QStringLiteral("4:2:") + stoppedText);
    QCOMPARE(readAll(target), QByteArray("old"));
    QCOMPARE(files(), QStringList{"song.mp3"});
    downloader.stopTransfer(); // nothing runs: no effect
    QTest::qWait(50);
    QCOMPARE(log.events().size(), stalled ? 1 : 2);
}

void TestCurlDownloader::oneTransferAtATime()
{
    FixtureServer server;
    FixtureReply reply;
    reply.mode = FixtureReply::Mode::Stall;
    server.setReply(reply);

    CurlDownloader downloader;
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/a.mp3", path("a.mp3"))));
    QVERIFY(!downloader.startTransfer(requestFor(server.baseUrl() + "/b.mp3", path("b.mp3"))));
    QTRY_COMPARE(server.targets().size(), 1);
    downloader.stopTransfer();
    QVERIFY(log.waitEnded(3000));
    QCOMPARE(log.events().size(), 1);
    QCOMPARE(server.targets(), QList<QByteArray>{"/a.mp3"});
}

// Release (at exit) stops the transfer, removes the partial file and waits
// for the worker; nothing is delivered afterwards and nothing can start.
void TestCurlDownloader::releaseDuringTransferCleansUp()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(8 * 1024 * 1024);
    reply.chunkDelayMs = 20;
    server.setReply(reply);

    CurlDownloader downloader;
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/song.mp3", path("song.mp3"))));
    QTRY_VERIFY(downloader.receivedBytes() > 0);
    downloader.releaseDownloader();
    QVERIFY(files().isEmpty());
    QTest::qWait(100);
    QVERIFY(!log.ended());
    QVERIFY(!downloader.startTransfer(requestFor(server.baseUrl() + "/song.mp3", path("again.mp3"))));
    QVERIFY(files().isEmpty());
}

void TestCurlDownloader::destroyDuringTransferCleansUp()
{
    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(8 * 1024 * 1024);
    reply.chunkDelayMs = 20;
    server.setReply(reply);

    auto downloader = std::make_unique<CurlDownloader>();
    QVERIFY(downloader->startTransfer(requestFor(server.baseUrl() + "/song.mp3", path("song.mp3"))));
    QTRY_VERIFY(downloader->receivedBytes() > 0);
    downloader.reset();
    QVERIFY(files().isEmpty());
    QTest::qWait(50); // a queued event for the destroyed object must go nowhere
}

// A folder the program may not write to. Root writes anywhere regardless of
// permissions, so as root the folder is a read-only mount.
void TestCurlDownloader::readOnlyFolderFails()
{
    const QString folder = path("readonly");
    QVERIFY(QDir().mkpath(folder));
    std::unique_ptr<ScratchMount> mount;
    if (geteuid() == 0) {
        mount = std::make_unique<ScratchMount>(folder, "size=64k", MS_RDONLY);
        if (!mount->isMounted())
            QSKIP("running as root without the right to mount: no folder is read-only to root");
    } else {
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    }

    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(100 * 1024);
    server.setReply(reply);

    CurlDownloader downloader(quickStall());
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/song.mp3", folder + "/song.mp3")));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.outcome(), failedText);
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A folder with room for 256 KiB receiving a 2 MiB file.
void TestCurlDownloader::fullDiskFails()
{
    const QString folder = path("small");
    QVERIFY(QDir().mkpath(folder));
    ScratchMount mount(folder, "size=256k", 0);
    if (!mount.isMounted())
        QSKIP("no size-limited folder: mounting a tmpfs needs root (or CAP_SYS_ADMIN)");

    FixtureServer server;
    FixtureReply reply;
    reply.body = pattern(2 * 1024 * 1024);
    server.setReply(reply);

    CurlDownloader downloader(quickStall());
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(server.baseUrl() + "/song.mp3", folder + "/song.mp3")));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.events(), QStringList({QStringLiteral("3:%1").arg(reply.body.size()),
                                        QStringLiteral("4:1:") + failedText}));
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

// The local file that plays is copied with the same events and the same
// .part rule, also over a file of the same name.
void TestCurlDownloader::copiesLocalFile()
{
    const QByteArray bytes = pattern(3 * 1024 * 1024 + 5, 11);
    const QString source = path("playing.wma");
    QVERIFY(writeFile(source, bytes));
    const QString target = path("saved.wma");
    QVERIFY(writeFile(target, "old"));

    CurlDownloader downloader;
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(source, target)));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.events(), QStringList({QStringLiteral("3:%1").arg(bytes.size()),
                                        QStringLiteral("4:0:") + finishedText}));
    QVERIFY(readAll(target) == bytes);
    QCOMPARE(downloader.receivedBytes(), qint64(bytes.size()));
    QCOMPARE(files(), QStringList({"playing.wma", "saved.wma"}));
}

void TestCurlDownloader::missingLocalFileFails()
{
    CurlDownloader downloader;
    EventLog log(&downloader);
    QVERIFY(downloader.startTransfer(requestFor(path("gone.mp3"), path("saved.mp3"))));
    QVERIFY(log.waitEnded());
    QCOMPARE(log.events(), QStringList{QStringLiteral("4:1:") + failedText});
    QVERIFY(files().isEmpty());
}

QTEST_GUILESS_MAIN(TestCurlDownloader)
#include "tst_curldownloader.moc"
