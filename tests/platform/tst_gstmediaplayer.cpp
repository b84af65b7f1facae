// GstMediaPlayer against real GStreamer. The media are generated here (a few
// seconds of tone), played from local files and from the loopback fixture
// server into "fakesink sync=true", which keeps real time without a sound
// device.

#include "fixtureserver.h"
#include "refusingport.h"
#include "gstmediaplayer.h"
#include "gsttestmedia.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gst/gst.h>

#include <algorithm>
#include <memory>

namespace {

const QString kSink = QStringLiteral("fakesink sync=true");

// A standard MIDI file, format 0: one piano note of `beats` quarter notes at
// the default 120 beats per minute (half a second each).
QByteArray tinyMidi(int beats)
{
    const int ticks = 96 * beats;
    QByteArray track;
    track += QByteArray::fromHex("00C000");   // program 0
    track += QByteArray::fromHex("00903C64"); // note on, middle C
    track += char(0x80 | ((ticks >> 7) & 0x7F));
    track += char(ticks & 0x7F);
    track += QByteArray::fromHex("803C40");   // note off
    track += QByteArray::fromHex("00FF2F00"); // end of track
    return standardMidiFile(track);
}

// Every state the player reports, and whether playState() already held it
// when the signal came.
struct StateLog
{
    QList<int> states;
    bool consistent = true;

    explicit StateLog(MediaPlayer &player)
    {
        QObject::connect(&player, &MediaPlayer::playStateChanged, &player, [this, &player](int s) {
            if (s != player.playState())
                consistent = false;
            states << s;
        });
    }
    int last() const { return states.isEmpty() ? -1 : states.last(); }
};

QString text(const QList<int> &states)
{
    QStringList parts;
    for (int s : states)
        parts << QString::number(s);
    return parts.join(u' ');
}

// A whole play from writing the address to the end: 9, then 7 for a network
// address, any number of 6, then 3 (with possible 6/3 re-buffering rounds),
// and 8, 1 at the end. Empty when it fits, else the sequence.
QString playThroughProblem(const QList<int> &s, bool network)
{
    bool ok = s.size() >= 4 && s.first() == MediaPlayer::Transitioning
              && s.mid(s.size() - 2) == QList<int>{MediaPlayer::MediaEnded, MediaPlayer::Stopped};
    int i = 1;
    if (ok && network)
        ok = s.value(i++) == MediaPlayer::Waiting;
    while (ok && s.value(i) == MediaPlayer::Buffering)
        ++i;
    ok = ok && s.value(i) == MediaPlayer::Playing;
    for (int j = i; ok && j < s.size() - 2; ++j)
        ok = s[j] == MediaPlayer::Playing || s[j] == MediaPlayer::Buffering;
    return ok ? QString() : text(s);
}

// What the window reads from the player, sampled every 20 ms and at every
// state change.
struct Sample
{
    int state;
    int buffering;
    int received;
    int bandWidth;
    QString duration;
};

class Sampler
{
public:
    explicit Sampler(MediaPlayer &player)
        : m_player(player)
    {
        QObject::connect(&player, &MediaPlayer::playStateChanged, &m_timer, [this] { take(); });
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { take(); });
        m_timer.start(20);
    }
    void stop() { m_timer.stop(); }
    QList<Sample> samples;

private:
    void take()
    {
        samples.append({m_player.playState(), m_player.bufferingProgress(), m_player.downloadProgress(),
                        m_player.bandWidth(), m_player.durationString()});
    }
    MediaPlayer &m_player;
    QTimer m_timer;
};

// Empty when the buffering percentage never steps back within one fill (a
// run of Buffering samples), else the percentages of the offending fill.
QString fillProblem(const QList<Sample> &samples)
{
    QString fill;
    int last = -1;
    for (const Sample &s : samples) {
        if (s.state != MediaPlayer::Buffering) {
            last = -1;
            fill.clear();
            continue;
        }
        fill += QString::number(s.buffering) + u' ';
        if (s.buffering < last)
            return fill;
        last = s.buffering;
    }
    return {};
}

} // namespace

class TestGstMediaPlayer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void startsUndefined();
    void playsThrough_data();
    void playsThrough();
    void pauseResumeStop();
    void pauseWhileOpening();
    void unplayable_data();
    void unplayable();
    void balance_data();
    void balance();
    void midiPlays();
    void streamAtItsRate_data();
    void streamAtItsRate();
    void rebuffersWhenDry();
    void destroyedWhileStreaming();

private:
    QString m_mp3;
    QString m_wav;
    QString m_long;     // 6 s of MP3 without a Xing header
    QString m_longXing; // the same with one
    QString m_longWav;  // 6 s of mono WAV
    QTemporaryDir m_dir;
};

void TestGstMediaPlayer::initTestCase()
{
    gst_init(nullptr, nullptr);
    QVERIFY(m_dir.isValid());
    m_mp3 = m_dir.filePath(QStringLiteral("tone.mp3"));
    m_wav = m_dir.filePath(QStringLiteral("tone.wav"));
    // 2.5 s of mono tone at 44.1 kHz as MP3 (128 kbit/s), 2 s as WAV.
    QString why = runPipeline(QStringLiteral("audiotestsrc num-buffers=25 samplesperbuffer=4410 ! "
                                             "audio/x-raw,rate=44100,channels=1 ! audioconvert ! "
                                             "lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=\"%1\"").arg(m_mp3));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    why = runPipeline(QStringLiteral("audiotestsrc num-buffers=20 samplesperbuffer=4410 ! "
                                     "audio/x-raw,rate=44100,channels=2 ! audioconvert ! "
                                     "wavenc ! filesink location=\"%1\"").arg(m_wav));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(QFileInfo(m_mp3).size() > 10000);
    QVERIFY(QFileInfo(m_wav).size() > 10000);
    m_long = m_dir.filePath(QStringLiteral("long.mp3"));
    m_longXing = m_dir.filePath(QStringLiteral("long-xing.mp3"));
    m_longWav = m_dir.filePath(QStringLiteral("long.wav"));
    why = writeToneMp3(m_long, {.seconds = 6, .channels = 1, .kbps = 128, .volume = 0.8, .xing = false});
    QVERIFY2(why.isEmpty(), qPrintable(why));
    why = writeToneMp3(m_longXing, {.seconds = 6, .channels = 1, .kbps = 128, .volume = 0.8, .xing = true});
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(readFile(m_longXing).mid(0, 64).contains("Xing"));
    QVERIFY(!readFile(m_long).mid(0, 64).contains("Xing"));
    why = runPipeline(QStringLiteral("audiotestsrc num-buffers=60 samplesperbuffer=4410 ! "
                                     "audio/x-raw,format=S16LE,rate=44100,channels=1 ! wavenc ! filesink location=\"%1\"")
                          .arg(m_longWav));
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestGstMediaPlayer::startsUndefined()
{
    GstMediaPlayer player(kSink);
    StateLog log(player);
    QCOMPARE(player.playState(), int(MediaPlayer::Undefined));
    QCOMPARE(player.url(), QString());
    QCOMPARE(player.currentPositionString(), QString());
    QCOMPARE(player.durationString(), QString());
    QCOMPARE(player.itemInfo(QStringLiteral("SourceURL")), QString());
    // Nothing loaded: the transport does nothing.
    player.play();
    player.pause();
    player.stop();
    QTest::qWait(100);
    QCOMPARE(player.playState(), int(MediaPlayer::Undefined));
    QVERIFY(log.states.isEmpty());
}

void TestGstMediaPlayer::playsThrough_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<bool>("hasBitrate");

    QTest::newRow("local mp3") << QStringLiteral("tone.mp3") << false << "mp3" << true;
    QTest::newRow("http mp3") << QStringLiteral("tone.mp3") << true << "mp3" << true;
    QTest::newRow("local wav") << QStringLiteral("tone.wav") << false << "wav" << false;
}

void TestGstMediaPlayer::playsThrough()
{
    QFETCH(QString, file);
    QFETCH(bool, network);
    QFETCH(QString, fileType);
    QFETCH(bool, hasBitrate);

    const QString path = m_dir.filePath(file);
    const QByteArray body = readFile(path);
    FixtureServer server;
    server.setReply(mediaReply(body, file));
    const QString url = network ? QString::fromLatin1(server.baseUrl() + "/music/" + file.toLatin1()) : path;

    GstMediaPlayer player(kSink);
    StateLog log(player);
    player.setUrl(url);
    QCOMPARE(player.url(), url);
    QCOMPARE(log.states.value(0), int(MediaPlayer::Transitioning));

    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!player.currentPositionString().isEmpty(), 2000);
    const QString first = player.currentPositionString();
    QVERIFY2(first.startsWith(QLatin1String("00:0")), qPrintable(first));
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPositionString() > first, 2500);

    const QString duration = player.durationString();
    QVERIFY2(duration == QLatin1String("00:02") || duration == QLatin1String("00:03"), qPrintable(duration));
    QCOMPARE(player.itemInfo(QStringLiteral("FileType")), fileType);
    QCOMPARE(player.itemInfo(QStringLiteral("FileSize")), QString::number(body.size()));
    QCOMPARE(player.itemInfo(QStringLiteral("SourceURL")), url);
    QCOMPARE(player.itemInfo(QStringLiteral("Title")), QString());
    // 128 kbit/s CBR while the stream still arrives (the parser reports its
    // measured average); nothing flows once all of it has been received.
    if (hasBitrate && player.downloadProgress() < 100)
        QVERIFY2(qAbs(player.bandWidth() - 128000) < 2000, qPrintable(QString::number(player.bandWidth())));
    if (player.downloadProgress() == 100)
        QCOMPARE(player.bandWidth(), 0);
    if (!network)
        QCOMPARE(player.downloadProgress(), 100);
    QVERIFY(player.downloadProgress() >= 0 && player.downloadProgress() <= 100);

    QTRY_COMPARE_WITH_TIMEOUT(log.last(), int(MediaPlayer::Stopped), 8000);
    const QString problem = playThroughProblem(log.states, network);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QVERIFY(log.consistent);
    QCOMPARE(player.downloadProgress(), 100);
    QCOMPARE(player.currentPositionString(), QString());
    QCOMPARE(player.url(), url);
    if (network)
        QCOMPARE(server.targets(), QList<QByteArray>{"/music/" + file.toLatin1()});
}

void TestGstMediaPlayer::pauseResumeStop()
{
    GstMediaPlayer player(kSink);
    StateLog log(player);
    player.setUrl(m_mp3);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);

    player.pause();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Paused), 3000);
    const QString frozen = player.currentPositionString();
    QVERIFY(!frozen.isEmpty());
    QTest::qWait(1200);
    QCOMPARE(player.currentPositionString(), frozen);
    QCOMPARE(player.playState(), int(MediaPlayer::Paused));

    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 3000);

    player.stop();
    QCOMPARE(player.playState(), int(MediaPlayer::Stopped));
    QCOMPARE(player.currentPositionString(), QString());
    QTest::qWait(300); // nothing of the stopped stream comes back
    QCOMPARE(player.playState(), int(MediaPlayer::Stopped));
    QCOMPARE(log.states.mid(log.states.indexOf(MediaPlayer::Paused)),
             (QList<int>{MediaPlayer::Paused, MediaPlayer::Playing, MediaPlayer::Stopped}));

    // Play after a stop starts the same address again.
    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QCOMPARE(player.url(), m_mp3);
    player.stop();
    player.stop(); // a second stop changes nothing
    QCOMPARE(log.states.mid(log.states.size() - 2), (QList<int>{MediaPlayer::Playing, MediaPlayer::Stopped}));
    QVERIFY(log.consistent);
}

void TestGstMediaPlayer::pauseWhileOpening()
{
    // A slow server keeps the player opening; a pause then must hold it
    // before the first start, and play resumes it.
    FixtureServer server;
    FixtureReply reply = mediaReply(readFile(m_mp3), m_mp3);
    reply.delayMs = 500;
    server.setReply(reply);

    GstMediaPlayer player(kSink);
    StateLog log(player);
    player.setUrl(QString::fromLatin1(server.baseUrl() + "/slow.mp3"));
    QCOMPARE(player.playState(), int(MediaPlayer::Waiting));
    player.pause();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Paused), 5000);
    QTest::qWait(500);
    QCOMPARE(player.playState(), int(MediaPlayer::Paused));
    QVERIFY2(!log.states.contains(MediaPlayer::Playing), qPrintable(text(log.states)));

    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 5000);
    QVERIFY(log.consistent);
}

void TestGstMediaPlayer::unplayable_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty address") << "empty";
    QTest::newRow("missing local file") << "missing";
    QTest::newRow("local text file") << "text";
    QTest::newRow("http 404") << "404";
    QTest::newRow("http refused") << "refused";
    QTest::newRow("http html page") << "html";
    QTest::newRow("http empty body") << "emptybody";
}

void TestGstMediaPlayer::unplayable()
{
    QFETCH(QString, kind);

    FixtureServer server;
    FixtureReply reply;
    if (kind == QLatin1String("404")) {
        reply.status = 404;
        reply.body = "<html><body>Not Found</body></html>";
        reply.contentType = "text/html";
    } else if (kind == QLatin1String("html")) {
        reply.body = "<!DOCTYPE html>\n<html><head><title>hello</title></head><body>"
                     + QByteArray(4000, 'x') + "</body></html>\n";
        reply.contentType = "text/html";
    }
    server.setReply(reply);
    const QString http = QString::fromLatin1(server.baseUrl() + "/song.mp3");
    const RefusingPort refusing;

    QString url;
    if (kind == QLatin1String("missing")) {
        url = m_dir.filePath(QStringLiteral("no such file.mp3"));
    } else if (kind == QLatin1String("text")) {
        url = m_dir.filePath(QStringLiteral("notes.mp3"));
        QFile f(url);
        QVERIFY(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < 200; ++i)
            f.write("These are plain words, not sound at all.\n");
    } else if (kind == QLatin1String("refused")) {
        url = QString::fromLatin1(refusing.baseUrl() + "/song.mp3");
    } else if (kind != QLatin1String("empty")) {
        url = http;
    }

    GstMediaPlayer player(kSink);
    StateLog log(player);
    player.setUrl(url);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Ready), 10000);
    QTest::qWait(200); // and stays there
    QCOMPARE(player.playState(), int(MediaPlayer::Ready));
    QVERIFY2(!log.states.contains(MediaPlayer::Playing), qPrintable(text(log.states)));
    QCOMPARE(log.last(), int(MediaPlayer::Ready));
    QVERIFY(log.consistent);
    QCOMPARE(player.url(), url);
    QCOMPARE(player.currentPositionString(), QString());
    if (!url.isEmpty())
        QCOMPARE(log.states.first(), int(MediaPlayer::Transitioning));
    // Stop after a failure changes nothing.
    player.stop();
    QCOMPARE(player.playState(), int(MediaPlayer::Ready));
}

void TestGstMediaPlayer::balance_data()
{
    addBalanceRows();
}

void TestGstMediaPlayer::balance()
{
    QFETCH(int, balance);
    QFETCH(bool, left);
    QFETCH(bool, right);

    // The sink writes what the player outputs to a WAV file (as fast as it
    // can, the file sink keeps no time); then each channel's loudness is read.
    const QString out = m_dir.filePath(QStringLiteral("out-%1.wav").arg(balance));
    GstMediaPlayer player(QStringLiteral("audioconvert ! audio/x-raw,format=S16LE,channels=2 ! "
                                         "wavenc ! filesink location=\"%1\"").arg(out));
    StateLog log(player);
    player.setBalance(balance);
    player.setUrl(m_mp3);
    QTRY_COMPARE_WITH_TIMEOUT(log.last(), int(MediaPlayer::Stopped), 10000);
    QVERIFY2(log.states.contains(MediaPlayer::MediaEnded), qPrintable(text(log.states)));

    const QByteArray wav = readFile(out);
    const int data = wav.indexOf("data");
    QVERIFY(data > 0);
    const auto *samples = reinterpret_cast<const qint16 *>(wav.constData() + data + 8);
    const qsizetype frames = (wav.size() - data - 8) / 4;
    QVERIFY2(frames > 44100, qPrintable(QString::number(frames)));
    double sum[2] = {0, 0};
    for (qsizetype i = 0; i < frames; ++i) {
        sum[0] += qAbs(samples[2 * i]);
        sum[1] += qAbs(samples[2 * i + 1]);
    }
    const double mean[2] = {sum[0] / frames, sum[1] / frames};
    const QString levels = QStringLiteral("left %1 right %2").arg(mean[0]).arg(mean[1]);
    QVERIFY2((mean[0] > 1000) == left, qPrintable(levels));
    QVERIFY2((mean[1] > 1000) == right, qPrintable(levels));
    if (!left)
        QVERIFY2(mean[0] < 10, qPrintable(levels));
    if (!right)
        QVERIFY2(mean[1] < 10, qPrintable(levels));
}

void TestGstMediaPlayer::midiPlays()
{
    SKIP_WITHOUT_FLUIDSYNTH();

    const QString mid = m_dir.filePath(QStringLiteral("tune.mid"));
    QFile f(mid);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(tinyMidi(2));
    f.close();

    GstMediaPlayer player(kSink);
    StateLog log(player);
    player.setUrl(mid);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QCOMPARE(player.itemInfo(QStringLiteral("FileType")), QStringLiteral("mid"));
    QTRY_COMPARE_WITH_TIMEOUT(log.last(), int(MediaPlayer::Stopped), 10000);
    const QString problem = playThroughProblem(log.states, false);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestGstMediaPlayer::streamAtItsRate_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("bitRate");
    // The bit rate of a WAV file comes from its length and duration; an MP3
    // with a Xing header names no bit rate until it plays; one without
    // names it, but its duration is known only by estimate.
    QTest::newRow("mp3") << QStringLiteral("long.mp3") << 128000;
    QTest::newRow("mp3 with Xing header") << QStringLiteral("long-xing.mp3") << 128000;
    QTest::newRow("wav") << QStringLiteral("long.wav") << 44100 * 16;
}

void TestGstMediaPlayer::streamAtItsRate()
{
    QFETCH(QString, file);
    QFETCH(int, bitRate);

    // Served about 6 % faster than it plays: once its buffer is full the
    // stream plays on without another hold.
    FixtureServer server;
    server.setReply(mediaReply(readFile(m_dir.filePath(file)), file, bitRate / 8 * 106 / 100));
    GstMediaPlayer player(kSink);
    StateLog log(player);
    Sampler sampler(player);
    int bufferAtStart = -1;
    QString durationAtStart;
    connect(&player, &MediaPlayer::playStateChanged, this, [&](int s) {
        if (s == MediaPlayer::Playing && bufferAtStart < 0) {
            bufferAtStart = player.bufferingProgress();
            durationAtStart = player.durationString();
        }
    });
    player.setUrl(QString::fromLatin1(server.baseUrl() + "/" + file.toLatin1()));
    QTRY_COMPARE_WITH_TIMEOUT(player.downloadProgress(), 100, 20000);
    QTest::qWait(1000);
    player.stop();
    sampler.stop();

    // 9 7 6... 3, then the stop: one start, after a full buffer.
    QList<int> states = log.states;
    states.removeLast();
    QVERIFY2(playThroughProblem(states + QList<int>{MediaPlayer::MediaEnded, MediaPlayer::Stopped}, true).isEmpty()
                 && states.count(MediaPlayer::Playing) == 1 && states.last() == MediaPlayer::Playing,
             qPrintable(text(log.states)));
    QCOMPARE(bufferAtStart, 100);
    const QString fill = fillProblem(sampler.samples);
    QVERIFY2(fill.isEmpty(), qPrintable(QStringLiteral("the buffering percentage steps back: ") + fill));

    // The duration is known (by estimate at least) while the buffer fills.
    QCOMPARE(durationAtStart, QStringLiteral("00:06"));
    for (const Sample &s : std::as_const(sampler.samples)) {
        if (s.state == MediaPlayer::Buffering && s.buffering >= 50)
            QVERIFY2(s.duration == QLatin1String("00:06"), qPrintable(s.duration + u' ' + QString::number(s.buffering)));
    }

    // A bandwidth figure while the stream arrives, the bit rate once it plays.
    bool playing = false;
    for (const Sample &s : std::as_const(sampler.samples)) {
        playing = playing || s.state == MediaPlayer::Playing;
        const QString where = QStringLiteral("state %1, received %2%: %3").arg(s.state).arg(s.received).arg(s.bandWidth);
        if (s.received > 0 && s.received < 100)
            QVERIFY2(s.bandWidth > 0, qPrintable(where));
        if (playing && s.received < 100)
            QVERIFY2(qAbs(s.bandWidth - bitRate) < bitRate / 50, qPrintable(where));
    }
    QCOMPARE(player.bandWidth(), 0);
    QVERIFY(log.consistent);
}

void TestGstMediaPlayer::rebuffersWhenDry()
{
    // The first 60 KB of the song (3.75 s) arrive at twice the rate it
    // plays at, then nothing for 5 s, then the rest: the player plays what
    // it has, holds for the buffer to fill again only once it has run dry,
    // and carries on to the end.
    FixtureServer server;
    FixtureReply reply = mediaReply(readFile(m_long), m_long, 32000);
    reply.stallAtByte = 60000;
    reply.stallMs = 5000;
    server.setReply(reply);
    GstMediaPlayer player(kSink);
    StateLog log(player);
    Sampler sampler(player);
    QString positionWhenDry;
    connect(&player, &MediaPlayer::playStateChanged, this, [&](int s) {
        if (s == MediaPlayer::Buffering && log.states.contains(MediaPlayer::Playing) && positionWhenDry.isEmpty())
            positionWhenDry = player.currentPositionString();
    });
    player.setUrl(QString::fromLatin1(server.baseUrl() + "/trickle.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(log.last(), int(MediaPlayer::Stopped), 30000);
    sampler.stop();

    const QString problem = playThroughProblem(log.states, true);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    const qsizetype started = log.states.indexOf(MediaPlayer::Playing);
    QVERIFY2(log.states.indexOf(MediaPlayer::Buffering, started) > started, qPrintable(text(log.states)));
    // It played on for as long as its network buffer held data (part of the
    // 3.75 s is still in the decoder and the sink when that buffer is empty).
    QVERIFY2(positionWhenDry >= QLatin1String("00:02"), qPrintable(positionWhenDry));
    const QString fill = fillProblem(sampler.samples);
    QVERIFY2(fill.isEmpty(), qPrintable(QStringLiteral("the buffering percentage steps back: ") + fill));

    // The received percentage only grows; the stream's rate shows while it
    // arrives and drops to 0 once it is complete.
    QString received;
    int last = 0;
    bool sorted = true;
    for (const Sample &s : std::as_const(sampler.samples)) {
        received += QString::number(s.received) + u' ';
        sorted = sorted && s.received >= last;
        last = s.received;
        if (s.state == MediaPlayer::Playing && s.received < 100)
            QVERIFY2(qAbs(s.bandWidth - 128000) < 2000, qPrintable(QString::number(s.bandWidth)));
    }
    QVERIFY2(sorted, qPrintable(received));
    QCOMPARE(player.downloadProgress(), 100);
    QCOMPARE(player.bandWidth(), 0);
    QVERIFY(log.consistent);
}

void TestGstMediaPlayer::destroyedWhileStreaming()
{
    // The server trickles a song that would take half a minute; the player
    // goes away mid-stream and must stop its threads, its connection
    // included: the server serves one connection at a time, so a second
    // player is answered only once the first one has hung up.
    FixtureServer server;
    const QByteArray song = readFile(m_long);
    server.setHandler([&](const QByteArray &target) {
        return target == "/trickle.mp3" ? mediaReply(song, QStringLiteral("x.mp3"), 4000)
                                        : mediaReply(readFile(m_mp3), QStringLiteral("x.mp3"));
    });

    auto player = std::make_unique<GstMediaPlayer>(kSink);
    player->setUrl(QString::fromLatin1(server.baseUrl() + "/trickle.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(MediaPlayer::Buffering), 10000);
    QTest::qWait(500);
    player.reset();

    GstMediaPlayer next(kSink);
    next.setUrl(QString::fromLatin1(server.baseUrl() + "/whole.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(next.playState(), int(MediaPlayer::Playing), 5000);
    QCOMPARE(server.targets(), (QList<QByteArray>{"/trickle.mp3", "/whole.mp3"}));
}

QTEST_GUILESS_MAIN(TestGstMediaPlayer)
#include "tst_gstmediaplayer.moc"
