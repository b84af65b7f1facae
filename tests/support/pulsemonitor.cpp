#include "pulsemonitor.h"

#include <QMutexLocker>
#include <QTest>

#include <gst/gst.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace monitor {

bool fixturePresent()
{
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER");
}

QString missingElements()
{
    gst_init(nullptr, nullptr);
    QStringList missing;
    for (const char *name : {"pulsesink", "pulsesrc"}) {
        if (GstElementFactory *factory = gst_element_factory_find(name))
            gst_object_unref(factory);
        else
            missing << QString::fromLatin1(name);
    }
    return missing.join(QStringLiteral(", "));
}

Recorder::Recorder()
{
    gst_init(nullptr, nullptr);
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
    g_signal_connect(tap, "handoff", G_CALLBACK(&Recorder::onBuffer), this);
    gst_object_unref(tap);
}

Recorder::~Recorder()
{
    if (m_pipeline) {
        gst_element_set_state(m_pipeline, GST_STATE_NULL);
        gst_object_unref(m_pipeline);
    }
}

QString Recorder::start()
{
    if (!m_pipeline)
        return m_error.isEmpty() ? QStringLiteral("no recorder") : m_error;
    if (gst_element_set_state(m_pipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return QStringLiteral("the monitor cannot be recorded");
    if (!QTest::qWaitFor([this] { return bytes() > 0; }, 5000))
        return QStringLiteral("no data from the monitor");
    return {};
}

qsizetype Recorder::bytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_data.size();
}

QByteArray Recorder::data() const
{
    QMutexLocker lock(&m_mutex);
    return m_data;
}

void Recorder::onBuffer(GstElement *, GstBuffer *buffer, GstPad *, void *self)
{
    auto *recorder = static_cast<Recorder *>(self);
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    QMutexLocker lock(&recorder->m_mutex);
    recorder->m_data.append(reinterpret_cast<const char *>(map.data), qsizetype(map.size));
    gst_buffer_unmap(buffer, &map);
}

QString Loudness::text() const
{
    return QStringLiteral("left %1 dBFS, right %2 dBFS over %3 blocks of 50 ms")
        .arg(left, 0, 'f', 1).arg(right, 0, 'f', 1).arg(blocks);
}

namespace {

double decibels(double sumOfSquares, qsizetype samples)
{
    const double rms = std::sqrt(sumOfSquares / double(std::max<qsizetype>(samples, 1))) / 32768.0;
    return std::max(20 * std::log10(std::max(rms, 1e-9)), -120.0);
}

// Sums of squares of both channels over the block at byte `at`.
void blockSums(const QByteArray &pcm, qsizetype at, double sum[2])
{
    sum[0] = sum[1] = 0;
    for (qsizetype i = 0; i < kBlockFrames; ++i) {
        qint16 s[2];
        std::memcpy(s, pcm.constData() + at + i * kFrameBytes, sizeof s);
        sum[0] += double(s[0]) * s[0];
        sum[1] += double(s[1]) * s[1];
    }
}

bool sounds(const double sum[2])
{
    return std::max(decibels(sum[0], kBlockFrames), decibels(sum[1], kBlockFrames)) >= -40;
}

} // namespace

Loudness loudness(const QByteArray &pcm, qsizetype from)
{
    double total[2] = {0, 0};
    qsizetype frames = 0;
    Loudness result;
    for (qsizetype at = from - from % kBlockBytes; at + kBlockBytes <= pcm.size(); at += kBlockBytes) {
        double sum[2];
        blockSums(pcm, at, sum);
        if (!sounds(sum))
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

QString soundTimeline(const QByteArray &pcm, qsizetype from)
{
    QString line;
    for (qsizetype at = from - from % kBlockBytes; at + kBlockBytes <= pcm.size(); at += kBlockBytes) {
        double sum[2];
        blockSums(pcm, at, sum);
        line += sounds(sum) ? u'#' : u'.';
    }
    return line;
}

} // namespace monitor
