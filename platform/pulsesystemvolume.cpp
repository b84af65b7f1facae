#include "pulsesystemvolume.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/volume.h>

#include <QtGlobal>

#include <algorithm>
#include <cstring>

using Clock = std::chrono::steady_clock;

namespace {

enum class Side { Left, Right, Other };

Side sideOf(int position)
{
    switch (position) {
    case PA_CHANNEL_POSITION_FRONT_LEFT:
    case PA_CHANNEL_POSITION_REAR_LEFT:
    case PA_CHANNEL_POSITION_FRONT_LEFT_OF_CENTER:
    case PA_CHANNEL_POSITION_SIDE_LEFT:
    case PA_CHANNEL_POSITION_TOP_FRONT_LEFT:
    case PA_CHANNEL_POSITION_TOP_REAR_LEFT:
        return Side::Left;
    case PA_CHANNEL_POSITION_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_REAR_RIGHT:
    case PA_CHANNEL_POSITION_FRONT_RIGHT_OF_CENTER:
    case PA_CHANNEL_POSITION_SIDE_RIGHT:
    case PA_CHANNEL_POSITION_TOP_FRONT_RIGHT:
    case PA_CHANNEL_POSITION_TOP_REAR_RIGHT:
        return Side::Right;
    default:
        return Side::Other;
    }
}

// The mixer scale onto PulseAudio's, rounded to the nearest step; maxLevel
// and everything above it is PA_VOLUME_NORM.
pa_volume_t toPulse(int level)
{
    const qint64 clamped = std::clamp<qint64>(level, 0, SystemVolume::maxLevel);
    return static_cast<pa_volume_t>((clamped * PA_VOLUME_NORM + SystemVolume::maxLevel / 2) / SystemVolume::maxLevel);
}

struct Result
{
    bool finished = false;
    bool success = false;
};

void onSuccess(pa_context *, int success, void *userData)
{
    auto *result = static_cast<Result *>(userData);
    result->success = success != 0;
    result->finished = true;
}

struct ServerLookup
{
    bool finished = false;
    QByteArray defaultSink;
};

void onServerInfo(pa_context *, const pa_server_info *info, void *userData)
{
    auto *lookup = static_cast<ServerLookup *>(userData);
    if (info && info->default_sink_name)
        lookup->defaultSink = info->default_sink_name;
    lookup->finished = true;
}

struct SinkLookup
{
    bool finished = false;
    bool found = false;
    pa_channel_map map{};
};

void onSinkInfo(pa_context *, const pa_sink_info *info, int eol, void *userData)
{
    auto *lookup = static_cast<SinkLookup *>(userData);
    if (eol != 0) {
        lookup->finished = true;
        return;
    }
    if (info) {
        lookup->found = true;
        lookup->map = info->channel_map;
    }
}

} // namespace

PulseSystemVolume::PulseSystemVolume()
    : PulseSystemVolume(Options{})
{
}

PulseSystemVolume::PulseSystemVolume(const Options &options)
    : m_options(options)
{
}

PulseSystemVolume::~PulseSystemVolume()
{
    disconnect();
}

PulseSystemVolume::Wait PulseSystemVolume::waitFor(const std::function<bool()> &done)
{
    const auto deadline = Clock::now() + m_options.timeout;
    while (!done()) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_FAILED || state == PA_CONTEXT_TERMINATED)
            return Wait::Failed;
        const auto remaining = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
        if (remaining.count() <= 0)
            return Wait::TimedOut;
        if (pa_mainloop_prepare(m_loop, static_cast<int>(remaining.count())) < 0
            || pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0)
            return Wait::Failed;
    }
    return Wait::Done;
}

PulseSystemVolume::Wait PulseSystemVolume::runOperation(pa_operation *operation, const bool &finished)
{
    if (!operation)
        return Wait::Failed;
    const Wait wait = waitFor([&] { return finished; });
    if (wait != Wait::Done)
        pa_operation_cancel(operation);
    pa_operation_unref(operation);
    return wait;
}

PulseSystemVolume::Wait PulseSystemVolume::connectToServer()
{
    m_loop = pa_mainloop_new();
    if (!m_loop)
        return Wait::Failed;
    m_context = pa_context_new(pa_mainloop_get_api(m_loop), "musicbox");
    if (!m_context)
        return Wait::Failed;
    const char *server = m_options.server.isEmpty() ? nullptr : m_options.server.constData();
    if (pa_context_connect(m_context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return Wait::Failed;
    return waitFor([this] { return pa_context_get_state(m_context) == PA_CONTEXT_READY; });
}

void PulseSystemVolume::disconnect()
{
    m_open = false;
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        m_context = nullptr;
    }
    if (m_loop) {
        pa_mainloop_free(m_loop);
        m_loop = nullptr;
    }
}

bool PulseSystemVolume::connectionUsable()
{
    if (!m_context)
        return false;
    // Take in whatever the server sent meanwhile (a hang-up included) without
    // waiting for anything.
    for (int i = 0; i < 64 && pa_mainloop_iterate(m_loop, 0, nullptr) > 0; ++i) {
    }
    return pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

PulseSystemVolume::Wait PulseSystemVolume::lookUpSink()
{
    QByteArray name = m_options.sinkName;
    if (name.isEmpty()) {
        ServerLookup server;
        const Wait wait = runOperation(pa_context_get_server_info(m_context, &onServerInfo, &server), server.finished);
        if (wait != Wait::Done)
            return wait;
        name = server.defaultSink;
        if (name.isEmpty())
            return Wait::Failed; // no output device at all
    }
    SinkLookup sink;
    const Wait wait = runOperation(pa_context_get_sink_info_by_name(m_context, name.constData(), &onSinkInfo, &sink),
                                   sink.finished);
    if (wait != Wait::Done)
        return wait;
    if (!sink.found || sink.map.channels == 0)
        return Wait::Failed;
    m_sink = name;
    m_channels = sink.map.channels;
    for (int i = 0; i < m_channels; ++i)
        m_positions[i] = sink.map.map[i];
    return Wait::Done;
}

bool PulseSystemVolume::open()
{
    m_open = false;
    if (Clock::now() < m_blockedUntil)
        return false;

    Wait wait = Wait::Failed;
    if (connectionUsable()) {
        wait = lookUpSink();
        if (wait == Wait::Done) {
            m_open = true;
            return true;
        }
    }
    // No connection yet, or the kept one broke: connect afresh, once. A server
    // that stopped answering is not given a second time-out.
    disconnect();
    if (wait != Wait::TimedOut)
        wait = connectToServer();
    if (wait == Wait::Done)
        wait = lookUpSink();
    if (wait == Wait::Done) {
        m_open = true;
        return true;
    }
    disconnect();
    if (wait == Wait::TimedOut)
        m_blockedUntil = Clock::now() + m_options.retryAfterTimeout;
    return false;
}

bool PulseSystemVolume::setVolume(int left, int right)
{
    if (!m_open)
        return false;
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    volume.channels = static_cast<uint8_t>(m_channels);
    const pa_volume_t l = toPulse(left);
    const pa_volume_t r = toPulse(right);
    for (int i = 0; i < m_channels; ++i) {
        switch (sideOf(m_positions[i])) {
        case Side::Left: volume.values[i] = l; break;
        case Side::Right: volume.values[i] = r; break;
        case Side::Other: volume.values[i] = std::max(l, r); break;
        }
    }
    Result result;
    const Wait wait = runOperation(
        pa_context_set_sink_volume_by_name(m_context, m_sink.constData(), &volume, &onSuccess, &result),
        result.finished);
    if (wait != Wait::Done)
        m_open = false; // the connection is gone or hangs: the next open() finds out
    return wait == Wait::Done && result.success;
}

bool PulseSystemVolume::setMute(bool muted)
{
    if (!m_open)
        return false;
    Result result;
    const Wait wait = runOperation(
        pa_context_set_sink_mute_by_name(m_context, m_sink.constData(), muted ? 1 : 0, &onSuccess, &result),
        result.finished);
    if (wait != Wait::Done)
        m_open = false;
    return wait == Wait::Done && result.success;
}

void PulseSystemVolume::close()
{
    m_open = false;
}
