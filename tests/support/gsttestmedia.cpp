#include "gsttestmedia.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <gst/gst.h>

QString runPipeline(const QString &description)
{
    gst_init(nullptr, nullptr);
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), &error);
    if (!pipeline || error) {
        const QString why = error ? QString::fromUtf8(error->message) : QStringLiteral("no pipeline");
        g_clear_error(&error);
        if (pipeline)
            gst_object_unref(pipeline);
        return why;
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *msg = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND,
                                                 GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    QString why;
    if (!msg) {
        why = QStringLiteral("timed out");
    } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
        gst_message_parse_error(msg, &error, nullptr);
        why = QString::fromUtf8(error->message);
        g_clear_error(&error);
    }
    if (msg)
        gst_message_unref(msg);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    return why;
}

QString writeToneMp3(const QString &path, const ToneMp3 &tone)
{
    return runPipeline(QStringLiteral("audiotestsrc volume=%1 num-buffers=%2 samplesperbuffer=4410 ! "
                                      "audio/x-raw,rate=44100,channels=%3 ! audioconvert ! "
                                      "lamemp3enc target=bitrate bitrate=%4 cbr=true ! %5filesink location=\"%6\"")
                           .arg(tone.volume)
                           .arg(qRound(tone.seconds * 10))
                           .arg(tone.channels)
                           .arg(tone.kbps)
                           .arg(tone.xing ? QStringLiteral("xingmux ! ") : QString())
                           .arg(path));
}

QByteArray standardMidiFile(const QByteArray &events)
{
    QByteArray smf = QByteArray::fromHex("4D546864" "00000006" "0000" "0001" "0060") + "MTrk";
    const quint32 n = quint32(events.size());
    smf += char(n >> 24);
    smf += char(n >> 16);
    smf += char(n >> 8);
    smf += char(n);
    return smf + events;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

FixtureReply mediaReply(const QByteArray &body, const QString &fileName, int rateBytesPerSecond)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    FixtureReply reply;
    reply.body = body;
    reply.contentType = suffix == QLatin1String("wav")   ? "audio/x-wav"
                        : suffix == QLatin1String("mid") ? "audio/midi"
                                                         : "audio/mpeg";
    if (rateBytesPerSecond > 0) {
        reply.chunkDelayMs = 50;
        reply.chunkBytes = qMax(1, rateBytesPerSecond / 20);
    }
    return reply;
}

void addBalanceRows()
{
    QTest::addColumn<int>("balance");
    QTest::addColumn<bool>("left");
    QTest::addColumn<bool>("right");
    QTest::newRow("stereo 50") << 50 << true << true;
    QTest::newRow("left 0") << 0 << true << false;
    QTest::newRow("right 100") << 100 << false << true;
}

bool hasFluidsynth()
{
    gst_init(nullptr, nullptr);
    GstElementFactory *synth = gst_element_factory_find("fluiddec");
    if (!synth)
        return false;
    gst_object_unref(synth);
    return true;
}
