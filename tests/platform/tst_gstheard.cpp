// What GstMediaPlayer makes heard: it plays into the null sink of the test
// fixture's private PulseAudio daemon while the sink's monitor is recorded,
// and the recording is read as a timeline of sounding and silent 50 ms
// blocks. A stream served at about its own bit rate must start once and then
// sound without a hold; a song paused while another program opens a sound
// stream on the same sink must play on when resumed.

#include "fixtureserver.h"
#include "gstmediaplayer.h"
#include "gsttestmedia.h"
#include "pulsemonitor.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>

using namespace monitor;

namespace {

// Empty when, from the first sounding block of `timeline` on, the next
// `blocks` blocks all sound; else what is wrong, with the timeline.
QString gapProblem(const QString &timeline, int blocks)
{
    const qsizetype first = timeline.indexOf(u'#');
    if (first < 0)
        return QStringLiteral("no sound: ") + timeline;
    const QString heard = timeline.mid(first, blocks);
    if (heard.size() < blocks || heard.contains(u'.'))
        return QStringLiteral("gap in the sound: ") + timeline;
    return {};
}

} // namespace

class TestGstHeard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void streamStartsWithoutBlip();
    void resumesAfterAnotherStreamOpened_data();
    void resumesAfterAnotherStreamOpened();

private:
    QTemporaryDir m_dir;
    QString m_mp3;
};

void TestGstHeard::initTestCase()
{
    if (!fixturePresent())
        QSKIP("needs the PulseAudio null sink of the test fixture: run it through ctest");
    const QString missing = missingElements();
    QVERIFY2(missing.isEmpty(), qPrintable(missing));
    QVERIFY(m_dir.isValid());
    // 7 s of stereo tone, 128 kbit/s: 16,000 bytes a second.
    m_mp3 = m_dir.filePath(QStringLiteral("tone.mp3"));
    const QString why = writeToneMp3(m_mp3, {.seconds = 7, .channels = 2, .kbps = 128, .volume = 0.5});
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestGstHeard::streamStartsWithoutBlip()
{
    // The song arrives a little faster than it plays: the player fills its
    // buffer once, then the sound runs without a break to the end.
    FixtureServer server;
    server.setReply(mediaReply(readFile(m_mp3), m_mp3, 17000));
    Recorder recorder;
    const QString why = recorder.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const qsizetype mark = recorder.bytes();

    GstMediaPlayer player(kSink);
    QList<int> states;
    connect(&player, &MediaPlayer::playStateChanged, this, [&](int s) { states << s; });
    player.setUrl(QString::fromLatin1(server.baseUrl() + "/tone.mp3"));
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 15000);
    // Four seconds of sound after the start, with no silence inside.
    QTRY_VERIFY_WITH_TIMEOUT(soundTimeline(recorder.data(), mark).lastIndexOf(u'#')
                                 - soundTimeline(recorder.data(), mark).indexOf(u'#') >= 80,
                             10000);
    const QString timeline = soundTimeline(recorder.data(), mark);
    const QString problem = gapProblem(timeline, 80);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(states.count(MediaPlayer::Playing), 1);
    QCOMPARE(states.indexOf(MediaPlayer::Buffering, states.indexOf(MediaPlayer::Playing)), -1);
}

void TestGstHeard::resumesAfterAnotherStreamOpened_data()
{
    QTest::addColumn<bool>("keepOpen");
    QTest::newRow("other stream still open") << true;
    QTest::newRow("other stream closed before resuming") << false;
}

void TestGstHeard::resumesAfterAnotherStreamOpened()
{
    QFETCH(bool, keepOpen);
    const QString pacat = QStandardPaths::findExecutable(QStringLiteral("pacat"));
    if (pacat.isEmpty())
        QSKIP("pacat (pulseaudio-utils) is not installed");

    Recorder recorder;
    const QString why = recorder.start();
    QVERIFY2(why.isEmpty(), qPrintable(why));

    GstMediaPlayer player(kSink);
    player.setUrl(m_mp3);
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(loudness(recorder.data()).blocks >= 8, 5000); // early in the song
    player.pause();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Paused), 3000);

    // Another program opens a stream of silence on the same sink.
    QProcess other;
    other.setProgram(pacat);
    other.setArguments({QStringLiteral("--playback"), QStringLiteral("--device=musicbox_test"),
                        QStringLiteral("--rate=48000"), QStringLiteral("--channels=1"), QStringLiteral("/dev/zero")});
    other.start();
    QVERIFY(other.waitForStarted(5000));
    QTest::qWait(2000);
    if (!keepOpen) {
        other.kill();
        other.waitForFinished(3000);
    }

    const qsizetype mark = recorder.bytes();
    player.play();
    QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(MediaPlayer::Playing), 3000);
    // Two seconds after the resume the song must still sound (a silence as
    // long as the pause would fill most of them).
    QTRY_VERIFY_WITH_TIMEOUT(recorder.bytes() - mark >= 50 * kBlockBytes, 5000);
    const QString timeline = soundTimeline(recorder.data(), mark);
    other.kill();
    other.waitForFinished(3000);
    QVERIFY2(timeline.indexOf(u'#') >= 0 && timeline.indexOf(u'#') < 10, qPrintable(timeline));
    const QString problem = gapProblem(timeline, 30);
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    QCOMPARE(player.playState(), int(MediaPlayer::Playing));
}

QTEST_GUILESS_MAIN(TestGstHeard)
#include "tst_gstheard.moc"
