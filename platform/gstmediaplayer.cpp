#include "gstmediaplayer.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaObject>
#include <QUrl>

#include <gst/gst.h>

#include <algorithm>
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

// Called by playbin for every element it creates. fluidsynth's decoder
// renders General MIDI about 15 dB quieter than an ordinary MP3 at its
// default master gain of 0.2 (a band piece at velocity 100: -29 dBFS RMS
// against -14 dBFS). A gain of 0.6 brings it to about -20 dBFS RMS with its
// peaks near -5 dBFS, leaving headroom for denser files before clipping.
// The General MIDI soundfont is named when it is installed.
void setUpElement(GstElement *, GstElement *element, gpointer)
{
    GstElementFactory *factory = gst_element_get_factory(element);
    if (!factory || g_strcmp0(gst_plugin_feature_get_name(GST_PLUGIN_FEATURE(factory)), "fluiddec") != 0)
        return;
    static const char soundFont[] = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
    g_object_set(element, "synth-gain", 0.6, nullptr);
    if (QFileInfo::exists(QLatin1String(soundFont)))
        g_object_set(element, "soundfont", soundFont, nullptr);
}

} // namespace

GstMediaPlayer::GstMediaPlayer(const QString &audioSink, QObject *parent)
    : MediaPlayer(parent)
{
    initGStreamer();

    m_pipeline = gst_element_factory_make("playbin", "musicbox-player");
    if (!m_pipeline) {
        qCWarning(lcPlayer) << "playbin is missing; nothing can be played";
        return;
    }
    gst_util_set_object_arg(G_OBJECT(m_pipeline), "flags", "audio+soft-volume");
    g_signal_connect(m_pipeline, "element-setup", G_CALLBACK(setUpElement), nullptr);
    if (GstElement *sink = makeSink(audioSink, &m_panorama))
        g_object_set(m_pipeline, "audio-sink", sink, nullptr);
    setBalance(m_balance);

    m_bus = gst_element_get_bus(m_pipeline);
    gst_bus_set_sync_handler(m_bus, reinterpret_cast<GstBusSyncHandler>(&GstMediaPlayer::onSyncMessage),
                             this, nullptr);
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

// Turns what the pipeline reports into the player's play states.
void GstMediaPlayer::handleMessage(GstMessage *message)
{
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED: {
        if (GST_MESSAGE_SRC(message) != GST_OBJECT(m_pipeline))
            break;
        GstState oldState, newState, pending;
        gst_message_parse_state_changed(message, &oldState, &newState, &pending);
        if (newState == GST_STATE_PLAYING && m_target == Target::Playing && !m_rebuffering) {
            m_started = true;
            captureMedia();
            setState(Playing);
        } else if (newState == GST_STATE_PAUSED && m_target == Target::Paused) {
            captureMedia();
            setState(Paused);
        }
        break;
    }
    case GST_MESSAGE_BUFFERING: {
        int percent = 0;
        gst_message_parse_buffering(message, &percent);
        m_bufferPercent = percent;
        if (percent < 100) {
            if (m_started) {
                // Re-buffering during playback: hold the clock until the
                // buffer is full again.
                if (m_target == Target::Playing && !m_rebuffering) {
                    m_rebuffering = true;
                    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
                    setState(Buffering);
                }
            } else if (m_state == Transitioning || m_state == Waiting) {
                // Before the first start playback is not held back: it
                // starts as soon as the pipeline has prerolled.
                setState(Buffering);
            }
        } else if (m_rebuffering) {
            m_rebuffering = false;
            if (m_target == Target::Playing)
                gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        }
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
    if (trimmed.isEmpty() || !m_pipeline) {
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
    m_rebuffering = false;
    if (!m_isNetwork) {
        m_bufferPercent = 100;
        m_downloadPercent = 100;
    }
    g_object_set(m_pipeline, "uri", m_uri.toUtf8().constData(), nullptr);
    const GstStateChangeReturn ret = gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
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
    ++m_generation; // whatever was posted before this point is stale
    m_started = false;
    m_rebuffering = false;
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
        if (!m_rebuffering)
            gst_element_set_state(m_pipeline, GST_STATE_PLAYING);
        else
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
    gst_element_set_state(m_pipeline, GST_STATE_PAUSED);
    // Already paused (re-buffering, or prerolled while the PLAYING step is
    // still pending): no state change message will follow, so report now.
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

// The received part is the source's byte position against the length it
// announced (Content-Length for HTTP).
// The stream's rate while it is still arriving; once everything has been
// received nothing flows any more, which is how the window knows reception
// is complete.
int GstMediaPlayer::bandWidth() const
{
    return downloadProgress() >= 100 ? 0 : m_bitrate;
}

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
    qint64 ns = m_durationNs;
    gint64 live = -1;
    if (m_pipeline && (m_target == Target::Playing || m_target == Target::Paused)
        && gst_element_query_duration(m_pipeline, GST_FORMAT_TIME, &live) && live >= 0)
        ns = live;
    return ns >= 0 ? clockText(ns) : QString();
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
