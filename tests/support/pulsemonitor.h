#pragma once

// What comes out of the PulseAudio null sink "musicbox_test" that the test
// fixture starts (tests/support/pulse-fixture.sh, reached through
// PULSE_SERVER): a recorder of the sink's monitor and the loudness of a
// recording in 50 ms blocks.

#include <QByteArray>
#include <QMutex>
#include <QString>

typedef struct _GstElement GstElement;
typedef struct _GstBuffer GstBuffer;
typedef struct _GstPad GstPad;

namespace monitor {

constexpr int kRate = 44100;
constexpr qsizetype kFrameBytes = 4;           // S16LE, two channels
constexpr qsizetype kBlockFrames = kRate / 20; // 50 ms
constexpr qsizetype kBlockBytes = kBlockFrames * kFrameBytes;
inline const QString kSink = QStringLiteral("pulsesink device=musicbox_test");

// Whether the fixture's sound server is reachable: PULSE_SERVER is set when
// the suite runs through ctest.
bool fixturePresent();
// Initialises GStreamer; the elements that play on the sink and record its
// monitor (pulsesink, pulsesrc) that it lacks, empty when both are there.
QString missingElements();

// Records the null sink's monitor as 16-bit stereo for as long as it lives.
class Recorder
{
public:
    Recorder();
    ~Recorder();
    Recorder(const Recorder &) = delete;
    Recorder &operator=(const Recorder &) = delete;

    // Starts recording and waits for the first data; empty on success.
    QString start();
    qsizetype bytes() const;
    QByteArray data() const;

private:
    static void onBuffer(GstElement *, GstBuffer *buffer, GstPad *, void *self);

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

    QString text() const;
};

// The recording from byte `from` (rounded down to a block) to its end.
Loudness loudness(const QByteArray &pcm, qsizetype from = 0);

// One character per 50 ms block from byte `from` on: '#' where either
// channel sounds (above -40 dBFS), '.' where both are silent. A timeline
// that reads well in a failure message.
QString soundTimeline(const QByteArray &pcm, qsizetype from = 0);

} // namespace monitor
