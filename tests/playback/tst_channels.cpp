// The channel balance on real audio: GstMediaPlayer plays a stereo tone into
// the null sink "musicbox_test" of a private PulseAudio daemon (started by the
// test fixture, reached through PULSE_SERVER) while the sink's monitor is
// recorded, and each channel's loudness is read from the recording.

#include "gstmediaplayer.h"
#include "gstpipeline.h"

#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr int kRate = 44100;
constexpr qsizetype kFrameBytes = 4;         // S16LE, two channels
constexpr qsizetype kBlockFrames = kRate / 20; // 50 ms
const QString kSink = QStringLiteral("pulsesink device=musicbox_test");


// Records the null sink's monitor as 16-bit stereo for as long as it lives.
class MonitorRecorder
{
public:
    MonitorRecorder()
    {
        GError *error = nullptr;
        m_pipeline = gst_parse_launch("pulsesrc device=musicbox_test.monitor ! "
                                      "audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
                                      "fakesink name=tap signal-handoffs=true sync=false",
                                      &error);
        if (error) {
            m_error = QString::fromUtf8(error->message);
            g_clear_error(&error);
        }
        if (!m_pipeline)
            return;
        GstElement *tap = gst_bin_get_by_name(GST_BIN(m_pipeline), "tap");
        g_signal_connect(tap, "handoff", G_CALLBACK(&MonitorRecorder::onBuffer), this);
        gst_object_unref(tap);
    }
    ~MonitorRecorder()
    {
        if (m_pipeline) {
            gst_element_set_state(m_pipeline, GST_STATE_NULL);
            gst_object_unref(m_pipeline);
        }
    }
    MonitorRecorder(const MonitorRecorder &) = delete;
    MonitorRecorder &operator=(const MonitorRecorder &) = delete;

    // Starts recording and waits for the first data; empty on success.
    QString start()
    {
        if (!m_pipeline)
            return m_error.isEmpty() ? QStringLiteral("no recorder") : m_error;
        if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
            return QStringLiteral("the monitor cannot be recorded");
        if (!QTest::qWaitFor([this] { return bytes() > 0; }, 5000))
            return QStringLiteral("no data from the monitor");
        return {};
    }
    qsizetype bytes() const
    {
        QMutexLocker lock(&m_mutex);
        return m_data.size();
    }
    QByteArray data() const
    {
        QMutexLocker lock(&m_mutex);
        return m_data;
    }

private:
    static void onBuffer(GstElement *, GstBuffer *buffer, GstPad *, gpointer self)
    {
        auto *recorder = static_cast<MonitorRecorder *>(self);
        GstMapInfo map;
        if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
            return;
        QMutexLocker lock(&recorder->m_mutex);
        recorder->m_data.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
        gst_buffer_unmap(buffer, &map);
    }

    GstElement *m_pipeline = nullptr;
    QString m_error;
    mutable QMutex m_mutex;
    QByteArray m_data;
};

// Loudness of each channel over the sounding 50 ms blocks of a recording
// (those where either channel is above -40 dBFS), in dB of full scale.
struct Loudness
{
    double left = -120;
    double right = -120;
    int blocks = 0;

    QString text() const
    {
        return QStringLiteral("left %1 dBFS, right %2 dBFS over %3 blocks of 50 ms")
            .arg(left, 0, 'f', 1).arg(right, 0, 'f', 1).arg(blocks);
    }
};

double decibels(double sumOfSquares, qsizetype samples)
{
    const double rms = std::sqrt(sumOfSquares / double(std::max<qsizetype>(samples, 1))) / 32768.0;
    return std::max(20 * std::log10(std::max(rms, 1e-9)), -120.0);
}

// The recording from byte `from` (rounded to a block) to its end.
Loudness loudness(const QByteArray &pcm, qsizetype from = 0)
{
    const qsizetype blockBytes = kBlockFrames * kFrameBytes;
    double total[2] = {0, 0};
    qsizetype frames = 0;
    Loudness result;
    for (qsizetype at = from - from % blockBytes; at + blockBytes <= pcm.size(); at += blockBytes) {
        double sum[2] = {0, 0};
        for (qsizetype i = 0; i < kBlockFrames; ++i) {
            qint16 s[2];
            std::memcpy(s, pcm.constData() + at + i * kFrameBytes, sizeof s);
            sum[0] += double(s[0]) * s[0];
            sum[1] += double(s[1]) * s[1];
        }
        if (std::max(decibels(sum[0], kBlockFrames), decibels(sum[1], kBlockFrames)) < -40)
            continue;
        total[0] += sum[0];
        total[1] += sum[1];
        frames += kBlockFrames;
        ++result.blocks;
    }
    if (frames > 0) {
        result.left = decibels(total[0], frames);
        result.right = decibels(total[1], frames);
    }
    return result;
}

// Byte offset of the first 50 ms block at or after `from` whose right
// channel sounds (above -40 dBFS), or -1.
qsizetype firstRightBlock(const QByteArray &pcm, qsizetype from)
{
    const qsizetype blockBytes = kBlockFrames * kFrameBytes;
    for (qsizetype at = from - from % blockBytes; at + blockBytes <= pcm.size(); at += blockBytes) {
        if (loudness(pcm.mid(at, blockBytes)).right > -40)
            return at;
    }
    return -1;
}

// Empty when `level` shows the expected channels: a loud one is above
// -20 dBFS, a silent one at least 40 dB below the loud one, and two loud
// ones are within 1 dB of each other.
QString channelProblem(const Loudness &level, bool left, bool right)
{
    const double loudest = std::max(level.left, level.right);
    bool ok = level.blocks >= 10;
    ok = ok && (left ? level.left > -20 : level.left < loudest - 40);
    ok = ok && (right ? level.right > -20 : level.right < loudest - 40);
    if (left && right)
        ok = ok && std::abs(level.left - level.right) < 1;
    return ok ? QString() : level.text();
}

} // namespace

class TestChannels : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void balance_data();
    void balance();
    void balanceChangesWhilePlaying();

private:
    QTemporaryDir m_dir;
    QString m_wav;
};

void TestChannels::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        QSKIP("needs the PulseAudio null sink of the test fixture: run it through ctest");
    gst_init(nullptr, nullptr);
    for (const char *name : {"pulsesink", "pulsesrc"}) {
        GstElementFactory *factory = gst_element_factory_find(name);
        QVERIFY2(factory, name);
        gst_object_unref(factory);
    }
    QVERIFY(m_dir.isValid());
    // 8 s of a 440 Hz tone at -9 dBFS RMS on both channels.
    m_wav = m_dir.filePath(QStringLiteral("stereo.wav"));
    const QString why = runPipeline(QStringLiteral("audiotestsrc volume=0.5 num-buffers=80 samplesperbuffer=4410 ! "
                                                   "audio/x-raw,format=S16LE,rate=44100,channels=2 ! "
                                                   "wavenc ! filesink location=\"%1\"").arg(m_wav));
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestChannels::balance_data()
{
    QTest::addColumn<int>("balance");
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::newRow("stereo 50") << 50 << true << true;
    QTest::newRow("left 0") << 0 << true << false;
    QTest::newRow("right 100") << 100 << false << true;
}

void TestChannels::balance()
{
    QFETCH(int, balance);
    QFETCH(bool, left);
    QFETCH(bool, right);

    MonitorRecorder recorder;
    const QString why = recorder.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));

    GstMediaPlayer player(kSink);
    player.setBalance(balance);
    player.setUrl(m_wav);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    // A second of sound is enough to judge.
    QTRY_VERIFY2_WITH_TIMEOUT(loudness(recorder.data()).blocks >= 20, qPrintable(loudness(recorder.data()).text()),
                              5000);
    QCOMPARE(player.playState(), int(MediaPlayer::Playing));
    player.stop();

    const Loudness level = loudness(recorder.data());
    const QString problem = channelProblem(level, left, right);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
}

void TestChannels::balanceChangesWhilePlaying()
{
    MonitorRecorder recorder;
    const QString why = recorder.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));

    GstMediaPlayer player(kSink);
    player.setBalance(0);
    player.setUrl(m_wav);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QTRY_VERIFY2_WITH_TIMEOUT(loudness(recorder.data()).blocks >= 16, qPrintable(loudness(recorder.data()).text()),
                              5000);

    // Everything recorded up to the switch was played before it. After it
    // the sound already inside the sink still comes out on the left (about
    // 0.1 s here); from the first block with sound on the right on, one
    // block of cross-over aside, only the right channel may sound.
    const qsizetype mark = recorder.bytes();
    player.setBalance(100);
    QTRY_VERIFY2_WITH_TIMEOUT(firstRightBlock(recorder.data(), mark) >= 0, "the right channel stays silent", 5000);
    const qsizetype switched = firstRightBlock(recorder.data(), mark);
    const qsizetype settled = switched + 2 * kBlockFrames * kFrameBytes;
    QTRY_VERIFY2_WITH_TIMEOUT(loudness(recorder.data(), settled).blocks >= 16,
                              qPrintable(loudness(recorder.data(), settled).text()), 5000);
    QCOMPARE(player.playState(), int(MediaPlayer::Playing));
    player.stop();

    const QByteArray pcm = recorder.data();
    const int delayMs = int((switched - mark) / kFrameBytes * 1000 / kRate);
    qInfo("the new channel was heard %d ms after the change", delayMs);
    QVERIFY2(delayMs < 500, qPrintable(QStringLiteral("heard %1 ms after the change").arg(delayMs)));
    QString problem = channelProblem(loudness(pcm.left(mark)), true, false);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("before the change: ") + problem));
    problem = channelProblem(loudness(pcm, settled), false, true);
    QVERIFY2(problem.isEmpty(), qPrintable(QStringLiteral("after the change: ") + problem));
}

QTEST_GUILESS_MAIN(TestChannels)
#include "tst_channels.moc"
