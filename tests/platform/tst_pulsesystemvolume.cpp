// PulseSystemVolume against a real PulseAudio daemon: the private daemon of
// the test fixture (reached through PULSE_SERVER), on null sinks that this
// test loads for itself so that the fixture's own sink, which other tests
// record from, keeps its volume. Levels and mute are read back with pactl.

#include "pulsesystemvolume.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>

using namespace std::chrono_literals;

namespace {

const QByteArray stereoSink = "musicbox_volume_stereo";
const QByteArray surroundSink = "musicbox_volume_surround";
const QByteArray monoSink = "musicbox_volume_mono";

QString pactl(const QStringList &args, bool *ok = nullptr)
{
    QProcess process;
    process.start(QStringLiteral("pactl"), args);
    const bool done = process.waitForFinished(5000);
    if (ok)
        *ok = done && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The sink's volume per channel position, in PulseAudio's raw units.
QList<QPair<QString, int>> sinkVolume(const QByteArray &sink)
{
    const QString text = pactl({QStringLiteral("get-sink-volume"), QString::fromLatin1(sink)});
    static const QRegularExpression channel(QStringLiteral("([a-z-]+): (\\d+) /"));
    QList<QPair<QString, int>> out;
    for (auto it = channel.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        out << qMakePair(match.captured(1), match.captured(2).toInt());
    }
    return out;
}

QString sinkMute(const QByteArray &sink)
{
    return pactl({QStringLiteral("get-sink-mute"), QString::fromLatin1(sink)});
}

// A mixer level as PulseAudio should hold it: the mixer's full level is
// 100 % (65536), never more.
int pulseUnits(int level)
{
    return int(std::lround(qBound(0, level, 65535) * 65536.0 / 65535.0));
}

PulseSystemVolume::Options onSink(const QByteArray &sink)
{
    PulseSystemVolume::Options options;
    options.sinkName = sink;
    return options;
}

// A unix socket that accepts connections and never says a word: a sound
// server that hangs.
class SilentSocket
{
public:
    explicit SilentSocket(const QString &path)
    {
        m_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        const QByteArray p = path.toLocal8Bit();
        qstrncpy(addr.sun_path, p.constData(), sizeof addr.sun_path);
        m_ok = m_fd >= 0 && bind(m_fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 && listen(m_fd, 4) == 0;
    }
    ~SilentSocket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    SilentSocket(const SilentSocket &) = delete;
    SilentSocket &operator=(const SilentSocket &) = delete;
    bool isListening() const { return m_ok; }

private:
    int m_fd = -1;
    bool m_ok = false;
};

} // namespace

class TestPulseSystemVolume : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void opensTheDefaultSink();
    void setsChannels_data();
    void setsChannels();
    void mutesAndUnmutes();
    void keptConnectionServesManyUses();
    void vanishedSinkFails();
    void lostServerFails();
    void noServerFailsQuickly();
    void silentServerFailsWithinTheTimeOut();

private:
    QStringList m_modules;
};

void TestPulseSystemVolume::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("no PULSE_SERVER: run through ctest, which starts the private PulseAudio daemon");
    bool ok = false;
    pactl({QStringLiteral("info")}, &ok);
    QVERIFY2(ok, "the fixture's PulseAudio daemon does not answer");

    const QList<QStringList> sinks = {
        {QStringLiteral("sink_name=") + stereoSink},
        {QStringLiteral("sink_name=") + surroundSink, QStringLiteral("channels=6"),
         QStringLiteral("channel_map=front-left,front-right,rear-left,rear-right,front-center,lfe")},
        {QStringLiteral("sink_name=") + monoSink, QStringLiteral("channels=1"), QStringLiteral("channel_map=mono")},
    };
    for (const QStringList &args : sinks) {
        const QString module = pactl(QStringList{QStringLiteral("load-module"), QStringLiteral("module-null-sink")} + args, &ok);
        QVERIFY2(ok, qPrintable(args.join(u' ')));
        m_modules << module;
    }
}

void TestPulseSystemVolume::cleanupTestCase()
{
    for (const QString &module : std::as_const(m_modules))
        pactl({QStringLiteral("unload-module"), module});
}

// Without a sink name the server's default sink is the one acted on. (Only
// looked up: the fixture's default sink is recorded by other tests.)
void TestPulseSystemVolume::opensTheDefaultSink()
{
    PulseSystemVolume volume;
    QVERIFY(volume.open());
    QCOMPARE(volume.sinkName(), pactl({QStringLiteral("get-default-sink")}).toUtf8());
    QVERIFY(volume.channelCount() >= 1);
    volume.close();
}

void TestPulseSystemVolume::setsChannels_data()
{
    QTest::addColumn<QByteArray>("sink");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<QStringList>("positions");
    QTest::addColumn<QList<int>>("expected");

    const QStringList stereo = {"front-left", "front-right"};
    QTest::newRow("start-up position") << stereoSink << 33050 << 33069 << stereo
                                       << QList<int>{pulseUnits(33050), pulseUnits(33069)};
    QTest::newRow("first drag at the design position") << stereoSink << 46270 << 46296 << stereo
                                                       << QList<int>{pulseUnits(46270), pulseUnits(46296)};
    QTest::newRow("left stop") << stereoSink << 0 << 0 << stereo << QList<int>{0, 0};
    QTest::newRow("right stop: full, never above") << stereoSink << 79320 << 79365 << stereo << QList<int>{65536, 65536};
    QTest::newRow("out of range") << stereoSink << -5 << 70000 << stereo << QList<int>{0, 65536};
    QTest::newRow("unequal") << stereoSink << 10000 << 60000 << stereo
                             << QList<int>{pulseUnits(10000), pulseUnits(60000)};

    const int l = pulseUnits(10000);
    const int r = pulseUnits(60000);
    QTest::newRow("six channels") << surroundSink << 10000 << 60000
                                  << QStringList{"front-left", "front-right", "rear-left", "rear-right", "front-center", "lfe"}
                                  << QList<int>{l, r, l, r, r, r};
    QTest::newRow("six channels, left louder") << surroundSink << 50000 << 20000
                                               << QStringList{"front-left", "front-right", "rear-left", "rear-right", "front-center", "lfe"}
                                               << QList<int>{pulseUnits(50000), pulseUnits(20000), pulseUnits(50000),
                                                             pulseUnits(20000), pulseUnits(50000), pulseUnits(50000)};
    QTest::newRow("mono") << monoSink << 10000 << 60000 << QStringList{"mono"} << QList<int>{r};
}

void TestPulseSystemVolume::setsChannels()
{
    QFETCH(QByteArray, sink);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(QStringList, positions);
    QFETCH(QList<int>, expected);

    PulseSystemVolume volume(onSink(sink));
    QVERIFY(volume.open());
    QCOMPARE(volume.channelCount(), positions.size());
    QVERIFY(volume.setVolume(left, right));
    volume.close();

    const auto read = sinkVolume(sink);
    QCOMPARE(read.size(), positions.size());
    for (qsizetype i = 0; i < read.size(); ++i) {
        QCOMPARE(read.at(i).first, positions.at(i));
        QCOMPARE(read.at(i).second, expected.at(i));
    }
}

void TestPulseSystemVolume::mutesAndUnmutes()
{
    PulseSystemVolume volume(onSink(stereoSink));
    QVERIFY(volume.open());
    QVERIFY(volume.setVolume(40000, 40000));
    QVERIFY(volume.setMute(true));
    volume.close();
    QCOMPARE(sinkMute(stereoSink), QStringLiteral("Mute: yes"));

    QVERIFY(volume.open());
    QVERIFY(volume.setMute(false));
    volume.close();
    QCOMPARE(sinkMute(stereoSink), QStringLiteral("Mute: no"));
    // Muting leaves the level alone.
    QCOMPARE(sinkVolume(stereoSink).value(0).second, pulseUnits(40000));
}

// A drag: open, set, close once per movement, many times over one object;
// set calls outside open() and close() fail.
void TestPulseSystemVolume::keptConnectionServesManyUses()
{
    PulseSystemVolume volume(onSink(stereoSink));
    QVERIFY(!volume.setVolume(1000, 1000));
    for (int t = -48; t <= 12; ++t) {
        QVERIFY(volume.open());
        QVERIFY(volume.setVolume(int(std::lround((t + 48) * 1322.0)), int(std::lround((t + 48) * 1322.75))));
        volume.close();
    }
    QVERIFY(!volume.setVolume(1000, 1000));
    QVERIFY(!volume.setMute(true));
    QCOMPARE(sinkVolume(stereoSink).value(1).second, 65536);
}

// The output disappears between two uses: the next open fails, and the
// object recovers once the output is back.
void TestPulseSystemVolume::vanishedSinkFails()
{
    const QByteArray sink = "musicbox_volume_vanishing";
    bool ok = false;
    QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                            QStringLiteral("sink_name=") + sink}, &ok);
    QVERIFY(ok);
    PulseSystemVolume volume(onSink(sink));
    QVERIFY(volume.open());
    QVERIFY(volume.setVolume(30000, 30000));
    volume.close();

    pactl({QStringLiteral("unload-module"), module});
    QVERIFY(!volume.open());
    QVERIFY(!volume.setVolume(30000, 30000));

    module = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                    QStringLiteral("sink_name=") + sink}, &ok);
    QVERIFY(ok);
    QVERIFY(volume.open());
    QVERIFY(volume.setVolume(20000, 20000));
    volume.close();
    QCOMPARE(sinkVolume(sink).value(0).second, pulseUnits(20000));
    pactl({QStringLiteral("unload-module"), module});
}

// The sound server goes away while the connection is kept: the next open
// reports the failure instead of acting on a dead connection. A daemon of
// this test's own is stopped for it.
void TestPulseSystemVolume::lostServerFails()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString fixture = QStringLiteral(PULSE_FIXTURE_SCRIPT);
    const QString daemonDir = dir.filePath(QStringLiteral("pulse"));
    QProcess start;
    start.start(fixture, {QStringLiteral("start"), daemonDir});
    QVERIFY(start.waitForFinished(20000));
    QVERIFY2(start.exitCode() == 0, start.readAllStandardError().constData());

    PulseSystemVolume::Options options;
    options.server = "unix:" + QFile::encodeName(daemonDir) + "/run/pulse/native";
    PulseSystemVolume volume(options);
    const bool opened = volume.open();
    const bool set = opened && volume.setVolume(30000, 30000);
    volume.close();

    QProcess stop;
    stop.start(fixture, {QStringLiteral("stop"), daemonDir});
    QVERIFY(stop.waitForFinished(20000));
    QVERIFY(opened);
    QVERIFY(set);

    QElapsedTimer clock;
    clock.start();
    QVERIFY(!volume.open());
    QVERIFY(!volume.setVolume(30000, 30000));
    QVERIFY2(clock.elapsed() < 5000, "a lost server must not block the caller");
}

void TestPulseSystemVolume::noServerFailsQuickly()
{
    QTemporaryDir dir;
    PulseSystemVolume::Options options;
    options.server = "unix:" + QFile::encodeName(dir.filePath(QStringLiteral("nothing-here")));
    PulseSystemVolume volume(options);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!volume.open());
    QVERIFY(!volume.setVolume(1000, 1000));
    QVERIFY(!volume.setMute(true));
    volume.close();
    QVERIFY2(clock.elapsed() < 1500, "a missing server is known at once, without waiting for the time-out");
}

// A server that accepts and never answers costs one time-out; for a while
// after it, opening fails at once rather than blocking again.
void TestPulseSystemVolume::silentServerFailsWithinTheTimeOut()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("native"));
    SilentSocket silent(path);
    QVERIFY(silent.isListening());

    PulseSystemVolume::Options options;
    options.server = "unix:" + QFile::encodeName(path);
    options.timeout = 300ms;
    options.retryAfterTimeout = 60s;
    PulseSystemVolume volume(options);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!volume.open());
    const qint64 first = clock.restart();
    QVERIFY2(first >= 250 && first < 3000, qPrintable(QString::number(first)));
    QVERIFY(!volume.open());
    QVERIFY2(clock.elapsed() < 1000, "after a time-out the next attempts fail at once");
}

QTEST_GUILESS_MAIN(TestPulseSystemVolume)
#include "tst_pulsesystemvolume.moc"
