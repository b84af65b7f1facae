// The channel balance on real audio: GstMediaPlayer plays a stereo tone into
// the null sink "musicbox_test" of a private PulseAudio daemon (started by the
// test fixture, reached through PULSE_SERVER) while the sink's monitor is
// recorded, and each channel's loudness is read from the recording.

#include "gstmediaplayer.h"
#include "gsttestmedia.h"
#include "pulsemonitor.h"

#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>

namespace {

using namespace monitor;

// Byte offset of the first 50 ms block at or after `from` whose right
// channel sounds (above -40 dBFS), or -1.
qsizetype firstRightBlock(const QByteArray &pcm, qsizetype from)
{
    for (qsizetype at = from - from % kBlockBytes; at + kBlockBytes <= pcm.size(); at += kBlockBytes) {
        if (loudness(pcm.mid(at, kBlockBytes)).right > -40)
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
    if (!fixturePresent())
        QSKIP("needs the PulseAudio null sink of the test fixture: run it through ctest");
    const QString missing = missingElements();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
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
    addBalanceRows();
}

void TestChannels::balance()
{
    QFETCH(int, balance);
    QFETCH(bool, left);
    QFETCH(bool, right);

    Recorder recorder;
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
    Recorder recorder;
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
    // 0.1 s here); from the first block with sound on the right on, a
    // cross-over of up to 0.4 s aside (a loaded machine drains the sink's
    // buffer slowly), only the right channel may sound.
    const qsizetype mark = recorder.bytes();
    player.setBalance(100);
    QTRY_VERIFY2_WITH_TIMEOUT(firstRightBlock(recorder.data(), mark) >= 0, "the right channel stays silent", 5000);
    const qsizetype switched = firstRightBlock(recorder.data(), mark);
    const qsizetype settled = switched + 8 * kBlockBytes;
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
