#include "gstmediaplayer.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QUrl>

#include <gst/gst.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <mutex>

Q_LOGGING_CATEGORY(lcPlayer, "musicbox.player", QtInfoMsg)

namespace {

void initGStreamer()
{
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

// "mm:ss", or "h:mm:ss" from one hour on.
QString clockText(qint64 ns)
{
    const qint64 total = ns / GST_SECOND;
    const qint64 h = total / 3600;
    const qint64 m = (total / 60) % 60;
    const qint64 s = total % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
}

bool isNetworkAddress(const QString &url)
{
    return url.contains(QLatin1String("://")) && !url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive);
}

// The local path behind a written address, or empty for a network address.
QString localPath(const QString &url)
{
    if (url.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
        return QUrl(url).toLocalFile();
    if (url.contains(QLatin1String("://")))
        return {};
    return url;
}

// The sink bin: the channel balance, then the audio sink. The balance sits
// here, behind playbin's own audio queue, so a new channel choice is heard at
// once rather than after the second of audio that the queue holds.
GstElement *makeSink(const QString &description, GstElement **panorama)
{
    auto build = [](const QByteArray &sink) -> GstElement * {
        const QByteArray chain =
            "audioconvert ! audiopanorama name=balance method=simple ! audioconvert ! " + sink;
        GError *error = nullptr;
        GstElement *bin = gst_parse_bin_from_description(chain.constData(), TRUE, &error);
        if (bin && !error)
            return bin;
        qCWarning(lcPlayer) << "audio sink" << sink << "unusable:" << (error ? error->message : "");
        g_clear_error(&error);
        if (bin)
            gst_object_unref(bin);
        return nullptr;
    };
    const QByteArray desc = description.trimmed().toUtf8();
    GstElement *bin = desc.isEmpty() ? nullptr : build(desc);
    if (!bin)
        bin = build("autoaudiosink");
    *panorama = nullptr;
    if (bin) {
        *panorama = gst_bin_get_by_name(GST_BIN(bin), "balance");
        if (*panorama)
            gst_object_unref(*panorama); // the bin keeps it alive
    }
    return bin;
}

// Whether the network queue that posted a buffering report below full, while
// the stream plays, has really run dry. Its percentage is a level against an
// estimate of the rate, which can drop before the queue does; playing on is
// right while it still holds a quarter second of the stream (at least a few
// KiB). A report of 0 counts as dry whatever the level, as no further report
// may follow it.
bool runDry(GstObject *queue, int percent, qint64 bitsPerSecond)
{
    if (percent <= 0 || !queue || !g_object_class_find_property(G_OBJECT_GET_CLASS(queue), "current-level-bytes"))
        return true;
    guint bytes = 0;
    g_object_get(queue, "current-level-bytes", &bytes, nullptr);
    return qint64(bytes) < std::max<qint64>(4096, bitsPerSecond / 8 / 4);
}

} // namespace

GstMediaPlayer::GstMediaPlayer(const QString &audioSink, QObject *parent)
    : MediaPlayer(parent), m_audioSink(audioSink)
{
}

// GStreamer (its plugin registry) and playbin with its audio path are made
// for the first media, not with the player: the window's first frame needs
// none of it, and a program that is never asked to play never loads it.
bool GstMediaPlayer::ensurePipeline()
{
    if (m_pipeline || m_pipelineFailed)
        return m_pipeline != nullptr;
    initGStreamer();

    m_pipeline = gst_element_factory_make("playbin", "musicbox-player");
    if (!m_pipeline) {
        m_pipelineFailed = true;
        qCWarning(lcPlayer) << "playbin is missing; nothing can be played";
        return false;
    }
    gst_util_set_object_arg(G_OBJECT(m_pipeline), "flags", "audio+soft-volume");
    g_signal_connect(m_pipeline, "element-setup", G_CALLBACK(&GstMediaPlayer::onElementSetup), this);
    if (GstElement *sink = makeSink(m_audioSink, &m_panorama))
        g_object_set(m_pipeline, "audio-sink", sink, nullptr);
    setBalance(m_balance);

    m_bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(m_bus, reinterpret_cast<GstBusSyncHandler>(&GstMediaPlayer::onSyncMessage),
                             this, nullptr);
    return true;
}

GstMediaPlayer::~GstMediaPlayer()
{
    if (!m_pipeline)
        return;
    // Stops every streaming thread; after this nothing posts on the bus.
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus, nullptr, nullptr, nullptr);
    gst_object_unref(m_bus);
    gst_object_unref(m_pipeline);
    // Messages still queued for this object are dropped with it; their
    // holders release them.
}

int GstMediaPlayer::onSyncMessage(GstBus *, GstMessage *message, void *data)
{
    auto *self = static_cast<GstMediaPlayer *>(data);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED:
    case GST_MESSAGE_BUFFERING:
    case GST_MESSAGE_EOS:
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_TAG:
    case GST_MESSAGE_DURATION_CHANGED:
        break;
    default:
        return GST_BUS_DROP;
    }
    const quint64 generation = self->m_generation.load();
    std::shared_ptr<GstMessage> held(gst_message_ref(message), [](GstMessage *m) { gst_message_unref(m); });
    QMetaObject::invokeMethod(
        self,
        [self, generation, held] {
            if (generation == self->m_generation.load())
                self->handleMessage(held.get());
        },
        Qt::QueuedConnection);
    return GST_BUS_DROP;
}

// Called by playbin for every element it creates, on whichever thread
// creates it.
//
// fluidsynth's decoder renders General MIDI about 15 dB quieter than an
// ordinary MP3 at its default master gain of 0.2 (a band piece at velocity
// 100: -29 dBFS RMS against -14 dBFS). A gain of 0.6 brings it to about
// -20 dBFS RMS with its peaks near -5 dBFS, leaving headroom for denser files
// before clipping. The General MIDI soundfont is named when it is installed.
//
// A parser's output is counted (bytes and duration), for the bit rate.
void GstMediaPlayer::onElementSetup(GstElement *, GstElement *element, void *self)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    if (!factory)
        return;
    if (g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") == 0) {
        static const char soundFont[] = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
        g_object_set(element, "synth-gain", 0.6, nullptr);
        if (QFileInfo::exists(QLatin1String(soundFont)))
            g_object_set(element, "soundfont", soundFont, nullptr);
        return;
    }
    const gchar *klass = gst_element_factory_get_metadata(factory, GST_ELEMENT_METADATA_KLASS);
    if (!klass || !strstr(klass, "Parser") || !strstr(klass, "Audio"))
        return;
    if (GstPad *src = gst_element_get_static_pad(element, "src")) {
        gst_pad_add_probe(src, GST_PAD_PROBE_TYPE_BUFFER,
                          reinterpret_cast<GstPadProbeCallback>(&GstMediaPlayer::onParsedBuffer), self, nullptr);
        gst_object_unref(src);
    }
}

int GstMediaPlayer::onParsedBuffer(GstPad *, GstPadProbeInfo *info, void *data)
{
    auto *self = static_cast<GstMediaPlayer *>(data);
    GstBuffer *buffer = GST_PAD_PROBE_INFO_BUFFER(info);
    if (buffer && GST_BUFFER_DURATION_IS_VALID(buffer) && GST_BUFFER_DURATION(buffer) > 0) {
        self->m_parsedBytes += qint64(gst_buffer_get_size(buffer));
        self->m_parsedNs += qint64(GST_BUFFER_DURATION(buffer));
    }
    return GST_PAD_PROBE_OK;
}

// Turns what the pipeline reports into the player's play states.
void GstMediaPlayer::handleMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_pipeline))
            break;
        GstState oldState, newState, pending;
        gst_message_parse_state_changed(message, &oldState, &newState, &pending);
        if (newState == GST_STATE_PLAYING && m_target == Target::Playing && !m_filling) {
            m_started = true;
            captureMedia();
            setState(Playing);
        } else if (newState == GST_STATE_PAUSED) {
            const bool first = !m_prerolled;
            m_prerolled = true;
            if (m_target == Target::Paused) {
                captureMedia();
                setState(Paused);
            } else if (first) {
                // A network stream has prerolled: it plays once its buffer is full.
                captureMedia();
                applyTarget();
            }
        }
        break;
    }
    case GST_MESSAGE_BUFFERING: {
        int percent = 0;
        gst_message_parse_buffering(message, &percent);
        if (percent >= 100) {
            m_filling = false;
            m_bufferPercent = 100;
        } else if (m_filling) {
            // The queue's estimate wobbles while it fills; the figure shown
            // only rises.
            m_bufferPercent = std::max(m_bufferPercent, percent);
        } else if (!m_started || runDry(GST_MESSAGE_SRC(message), percent, bandWidth())) {
            // A new fill: before the first start, or the playing stream has
            // run dry. The clock is held until the buffer is full again.
            m_filling = true;
            m_bufferPercent = percent;
        }
        applyTarget();
        if (m_filling && m_target == Target::Playing)
            setState(Buffering);
        break;
    }
    case GST_MESSAGE_EOS: {
        teardown();
        m_downloadPercent = 100; // the source has delivered everything
        m_bufferPercent = 100;
        m_target = Target::Stopped;
        const quint64 generation = m_generation.load();
        setState(MediaEnded);
        if (generation == m_generation.load()) // the handler may have loaded another address
            setState(Stopped);
        break;
    }
    case GST_MESSAGE_ERROR: {
        GError *error = nullptr;
        gchar *debug = nullptr;
        gst_message_parse_error(message, &error, &debug);
        qCDebug(lcPlayer) << "cannot play" << m_url << ":" << (error ? error->message : "") << debug;
        g_clear_error(&error);
        g_free(debug);
        fail();
        break;
    }
    case GST_MESSAGE_TAG: {
        GstTagList *tags = nullptr;
        gst_message_parse_tag(message, &tags);
        guint bitrate = 0;
        if (gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate)
            || gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate)) {
            if (bitrate > 0)
                m_bitrate = int(std::min<guint>(bitrate, INT_MAX));
        }
        gst_tag_list_unref(tags);
        break;
    }
    case GST_MESSAGE_DURATION_CHANGED:
        captureMedia();
        break;
    default:
        break;
    }
}

void GstMediaPlayer::setState(int state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit playStateChanged(state);
}

void GstMediaPlayer::setUrl(const QString &url)
{
    teardown();
    m_url = url;
    m_uri.clear();
    m_target = Target::None;
    m_bufferPercent = 0;
    m_downloadPercent = 0;
    m_bitrate = 0;
    m_durationNs = -1;
    m_contentLength = -1;
    m_isNetwork = false;

    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty() || !ensurePipeline()) {
        setState(Ready);
        return;
    }
    m_isNetwork = isNetworkAddress(trimmed);
    if (m_isNetwork || trimmed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        m_uri = trimmed;
    } else {
        GError *error = nullptr;
        gchar *uri = gst_filename_to_uri(QFile::encodeName(trimmed).constData(), &error);
        if (uri)
            m_uri = QString::fromUtf8(uri);
        g_free(uri);
        g_clear_error(&error);
    }
    start();
}

// Opens m_uri and lets it play.
void GstMediaPlayer::start()
{
    const quint64 generation = m_generation.load();
    setState(Transitioning);
    if (generation != m_generation.load())
        return;
    if (m_uri.isEmpty()) {
        fail();
        return;
    }
    m_target = Target::Playing;
    m_started = false;
    m_prerolled = false;
    m_filling = false;
    m_parsedBytes = 0;
    m_parsedNs = 0;
    if (!m_isNetwork) {
        m_bufferPercent = 100;
        m_downloadPercent = 100;
    }
    m_receiving.start();
    g_object_set(m_pipeline, "uri", m_uri.toUtf8().constData(), nullptr);
    // A local file plays at once; a network stream prerolls paused and
    // starts once its buffer is full (applyTarget).
    m_requested = m_isNetwork ? GST_STATE_PAUSED : GST_STATE_PLAYING;
    const GstStateChangeReturn ret = gst_element_set_state(m_pipeline, GstState(m_requested));
    if (ret == GST_STATE_CHANGE_FAILURE) {
        fail();
        return;
    }
    if (m_isNetwork && m_state == Transitioning)
        setState(Waiting);
}

void GstMediaPlayer::teardown()
{
    if (!m_pipeline)
        return;
    if (m_isNetwork) {
        downloadProgress(); // keep the last figure
        if (m_contentLength <= 0)
            m_contentLength = sourceBytes(true);
    }
    gst_element_set_state(m_pipeline, GST_STATE_NULL);
    m_requested = GST_STATE_NULL;
    ++m_generation; // whatever was posted before this point is stale
    m_started = false;
    m_prerolled = false;
    m_filling = false;
}

// Asks the pipeline for the state the player wants: playing when it should
// play, has prerolled (a network stream) and is not filling its buffer;
// paused otherwise.
void GstMediaPlayer::applyTarget()
{
    if (!m_pipeline || m_requested == GST_STATE_NULL)
        return;
    const bool play = m_target == Target::Playing && !m_filling && (m_prerolled || !m_isNetwork);
    const GstState want = play ? GST_STATE_PLAYING : GST_STATE_PAUSED;
    if (want == m_requested)
        return;
    m_requested = want;
    if (gst_element_set_state(m_pipeline, want) == GST_STATE_CHANGE_FAILURE)
        fail();
}

void GstMediaPlayer::fail()
{
    teardown();
    m_target = Target::None;
    setState(Ready);
}

void GstMediaPlayer::play()
{
    if (!m_pipeline || m_uri.isEmpty())
        return;
    switch (m_target) {
    case Target::Playing:
        return;
    case Target::Paused:
        m_target = Target::Playing;
        applyTarget();
        if (m_filling)
            setState(Buffering);
        return;
    case Target::None:
    case Target::Stopped:
        start(); // from the beginning, after a stop, the end or a failure
        return;
    }
}

void GstMediaPlayer::pause()
{
    if (!m_pipeline || (m_target != Target::Playing))
        return;
    m_target = Target::Paused;
    applyTarget();
    // Already paused (filling the buffer, or prerolled while the PLAYING step
    // is still pending): no state change message will follow, so report now.
    GstState current = GST_STATE_VOID_PENDING, pending = GST_STATE_VOID_PENDING;
    if (gst_element_get_state(m_pipeline, &current, &pending, 0) == GST_STATE_CHANGE_SUCCESS
        && current == GST_STATE_PAUSED)
        setState(Paused);
}

void GstMediaPlayer::stop()
{
    if (!m_pipeline || m_target == Target::None || m_target == Target::Stopped)
        return;
    teardown();
    m_target = Target::Stopped;
    setState(Stopped);
}

QString GstMediaPlayer::currentPositionString() const
{
    if (!m_pipeline || m_target == Target::None || m_target == Target::Stopped)
        return {};
    gint64 pos = -1;
    if (!gst_element_query_position(m_pipeline, GST_FORMAT_TIME, &pos) || pos < 0)
        return {};
    return clockText(pos);
}

void GstMediaPlayer::setBalance(int balance)
{
    m_balance = std::clamp(balance, 0, 100);
    if (m_panorama)
        g_object_set(m_panorama, "panorama", gfloat((m_balance - 50) / 50.0), nullptr);
}

// The stream's rate while it is still arriving: the bit rate its tags name,
// else its length in bytes over its duration, else the bit rate of what its
// parser has put out, else the rate it has been received at so far. Once
// everything has been received nothing flows any more, which is how the
// window knows reception is complete.
int GstMediaPlayer::bandWidth() const
{
    if (downloadProgress() >= 100)
        return 0;
    qint64 rate = m_bitrate;
    const qint64 length = mediaBytes();
    const qint64 ns = durationNs(false);
    if (rate <= 0 && length > 0 && ns > 0)
        rate = length * 8 * GST_SECOND / ns;
    if (rate <= 0)
        rate = parsedBitrate();
    if (rate <= 0 && m_isNetwork && m_receiving.isValid()) {
        const qint64 received = sourceBytes(false);
        if (received > 0)
            rate = std::max<qint64>(1, received * 8 * 1000 / std::max<qint64>(1, m_receiving.elapsed()));
    }
    return int(std::clamp<qint64>(rate, 0, INT_MAX));
}

// The received part is the source's byte position against the length it
// announced (Content-Length for HTTP).
int GstMediaPlayer::downloadProgress() const
{
    if (m_isNetwork && (m_target == Target::Playing || m_target == Target::Paused)) {
        const qint64 length = sourceBytes(true);
        const qint64 received = sourceBytes(false);
        if (length > 0) {
            m_contentLength = length;
            if (received >= 0)
                m_downloadPercent = int(std::clamp<qint64>(received * 100 / length, 0, 100));
        }
    }
    return m_downloadPercent;
}

QString GstMediaPlayer::durationString() const
{
    const qint64 ns = durationNs(true);
    return ns >= 0 ? clockText(ns) : QString();
}

// The duration the pipeline knows; else, with `estimate`, the length in
// bytes over the bit rate (what the parser has put out, else the tags); -1
// while unknown.
qint64 GstMediaPlayer::durationNs(bool estimate) const
{
    gint64 live = -1;
    if (m_pipeline && (m_target == Target::Playing || m_target == Target::Paused)
        && gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &live) && live >= 0)
        return live;
    if (m_durationNs >= 0 || !estimate || m_target == Target::None)
        return m_durationNs;
    qint64 rate = parsedBitrate();
    if (rate <= 0)
        rate = m_bitrate;
    const qint64 length = mediaBytes();
    return rate > 0 && length > 0 ? length * 8 * GST_SECOND / rate : -1;
}

// The bit rate of what the parser has put out, 0 while nothing.
qint64 GstMediaPlayer::parsedBitrate() const
{
    const qint64 ns = m_parsedNs.load();
    return ns > 0 ? m_parsedBytes.load() * 8 * GST_SECOND / ns : 0;
}

// The length of the current media in bytes, -1 while unknown.
qint64 GstMediaPlayer::mediaBytes() const
{
    if (!m_isNetwork) {
        const QString path = localPath(m_url.trimmed());
        return path.isEmpty() ? -1 : QFileInfo(path).size();
    }
    if (m_contentLength <= 0 && (m_target == Target::Playing || m_target == Target::Paused))
        m_contentLength = sourceBytes(true);
    return m_contentLength > 0 ? m_contentLength : -1;
}

QString GstMediaPlayer::itemInfo(const QString &name) const
{
    if (m_url.trimmed().isEmpty())
        return {};
    if (name == QLatin1String("SourceURL"))
        return m_url;
    const QString path = localPath(m_url.trimmed());
    if (name == QLatin1String("FileType")) {
        const QString file = m_isNetwork ? QUrl(m_url.trimmed()).path() : path;
        return QFileInfo(file).suffix();
    }
    if (name == QLatin1String("FileSize")) {
        if (!m_isNetwork)
            return QString::number(QFileInfo(path).size());
        qint64 length = m_contentLength;
        if (length <= 0 && (m_target == Target::Playing || m_target == Target::Paused))
            length = m_contentLength = sourceBytes(true);
        return QString::number(std::max<qint64>(length, 0));
    }
    return {};
}

void GstMediaPlayer::captureMedia()
{
    gint64 ns = -1;
    if (gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &ns) && ns >= 0)
        m_durationNs = ns;
    if (m_isNetwork && m_contentLength <= 0)
        m_contentLength = sourceBytes(true);
}

// Byte position (duration false) or length in bytes of playbin's source
// element, -1 when unknown.
qint64 GstMediaPlayer::sourceBytes(bool duration) const
{
    if (!m_pipeline)
        return -1;
    GstElement *source = nullptr;
    g_object_get(m_pipeline, "source", &source, nullptr);
    if (!source)
        return -1;
    gint64 value = -1;
    const gboolean ok = duration ? gst_element_query_duration(source, GST_FORMAT_BYTES, &value)
                                 : gst_element_query_position(source, GST_FORMAT_BYTES, &value);
    gst_object_unref(source);
    return ok ? value : -1;
}
