#pragma once

#include "platform/systemvolume.h"

#include <QByteArray>

#include <chrono>
#include <functional>

struct pa_context;
struct pa_mainloop;

// SystemVolume on libpulse (PulseAudio, or PipeWire through its PulseAudio
// server): the volume and mute of one sink, by default the server's default
// sink, looked up again at every open() so that a change of the default
// output is followed.
//
// The mixer scale maps linearly onto PulseAudio's volume scale:
// maxLevel is PA_VOLUME_NORM (100 %), never more.
//
// The connection is made by the first open() and kept after close(), so that
// the open, set, close of every pointer movement costs two short round trips
// instead of a new connection. A connection found broken at open() is made
// again; if that fails, open() fails. Every wait on the server is bounded by
// the time-out; after an open() that ran into it (a server that accepts but
// does not answer), further open() calls fail at once for a few seconds
// instead of blocking the UI thread again on every movement.
class PulseSystemVolume : public SystemVolume
{
public:
    struct Options
    {
        // The server to connect to; empty for libpulse's own choice
        // (PULSE_SERVER, client.conf, the user's runtime folder). A server is
        // never started.
        QByteArray server;
        // The sink to act on; empty for the server's default sink.
        QByteArray sinkName;
        std::chrono::milliseconds timeout = std::chrono::milliseconds(1500);
        std::chrono::milliseconds retryAfterTimeout = std::chrono::seconds(3);
    };

    PulseSystemVolume();
    explicit PulseSystemVolume(const Options &options);
    ~PulseSystemVolume() override;
    PulseSystemVolume(const PulseSystemVolume &) = delete;
    PulseSystemVolume &operator=(const PulseSystemVolume &) = delete;

    bool open() override;
    bool setVolume(int left, int right) override;
    bool setMute(bool muted) override;
    void close() override;

    // The sink that the last successful open() found, and its channel count.
    QByteArray sinkName() const { return m_sink; }
    int channelCount() const { return m_channels; }

private:
    enum class Wait { Done, Failed, TimedOut };

    Wait connectToServer();
    void disconnect();
    bool connectionUsable();
    Wait lookUpSink();
    Wait waitFor(const std::function<bool()> &done);
    Wait runOperation(struct pa_operation *operation, const bool &finished);

    Options m_options;
    pa_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    bool m_open = false;
    QByteArray m_sink;
    int m_channels = 0;
    int m_positions[32] = {}; // pa_channel_position_t of each channel (PA_CHANNELS_MAX)
    std::chrono::steady_clock::time_point m_blockedUntil{};
};
