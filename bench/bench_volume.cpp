// Time from a volume slider movement (open, set both channels, close) to the
// sink's volume change, as a second PulseAudio client sees it: once with the
// kept connection of PulseSystemVolume, once with a new connection per
// movement (a new object each time) as the baseline, interleaved.
//
//   bench_volume SINK [MOVEMENTS (default 300)]
//
// Needs a PulseAudio server (PULSE_SERVER or the user's); bench/volume.sh
// starts a private one.

#include "pulsesystemvolume.h"

#include <pulse/context.h>
#include <pulse/subscribe.h>
#include <pulse/thread-mainloop.h>

#include <QList>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

// A second client that notes when any sink changes.
class Watcher
{
public:
    Watcher()
    {
        m_loop = pa_threaded_mainloop_new();
        m_context = pa_context_new(pa_threaded_mainloop_get_api(m_loop), "volume-watcher");
        pa_context_set_state_callback(m_context, &Watcher::onState, this);
        pa_context_set_subscribe_callback(m_context, &Watcher::onEvent, this);
        pa_threaded_mainloop_lock(m_loop);
        pa_threaded_mainloop_start(m_loop);
        pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
        while (pa_context_get_state(m_context) != PA_CONTEXT_READY && PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)))
            pa_threaded_mainloop_wait(m_loop);
        m_ready = pa_context_get_state(m_context) == PA_CONTEXT_READY;
        if (m_ready) {
            pa_operation *op = pa_context_subscribe(m_context, PA_SUBSCRIPTION_MASK_SINK, nullptr, nullptr);
            if (op)
                pa_operation_unref(op);
        }
        pa_threaded_mainloop_unlock(m_loop);
    }
    ~Watcher()
    {
        pa_threaded_mainloop_stop(m_loop);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
        pa_threaded_mainloop_free(m_loop);
    }
    bool ready() const { return m_ready; }
    int events() const { return m_events.load(); }
    Clock::time_point lastEvent() const { return Clock::time_point(Clock::duration(m_last.load())); }

private:
    static void onState(pa_context *, void *self)
    {
        pa_threaded_mainloop_signal(static_cast<Watcher *>(self)->m_loop, 0);
    }
    static void onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t, void *userData)
    {
        auto *self = static_cast<Watcher *>(userData);
        if ((type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE)
            return;
        self->m_last.store(Clock::now().time_since_epoch().count());
        self->m_events.fetch_add(1);
    }

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    bool m_ready = false;
    std::atomic<int> m_events{0};
    std::atomic<Clock::rep> m_last{0};
};

struct Sample
{
    double callMs = 0;   // open, set, close
    double changeMs = 0; // from the movement to the change seen by the watcher
};

double quantile(QList<double> values, double q)
{
    std::sort(values.begin(), values.end());
    if (values.isEmpty())
        return 0;
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(q * (values.size() - 1) + 0.5)));
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2) {
        QTextStream(stderr) << "usage: bench_volume SINK [MOVEMENTS]\n";
        return 2;
    }
    PulseSystemVolume::Options options;
    options.sinkName = argv[1];
    const int movements = argc > 2 ? std::max(2, atoi(argv[2])) : 300;

    Watcher watcher;
    if (!watcher.ready()) {
        QTextStream(stderr) << "no PulseAudio server\n";
        return 1;
    }

    PulseSystemVolume kept(options);
    QList<Sample> keptSamples;
    QList<Sample> freshSamples;
    int failures = 0;
    for (int i = 0; i < movements; ++i) {
        // A drag back and forth over the slider's positions from -48 to 0;
        // further right both channels are at full volume already.
        const int t = -48 + (i % 96 < 48 ? i % 48 : 48 - i % 48);
        const int left = int(std::lround((t + 48) * 1322.0));
        const int right = int(std::lround((t + 48) * 1322.75));
        for (bool fresh : {false, true}) {
            // Make the target level differ from the current one, so a change
            // event must come.
            const int bump = fresh ? 1 : 0;
            const int before = watcher.events();
            const auto start = Clock::now();
            std::unique_ptr<PulseSystemVolume> once;
            PulseSystemVolume *volume = &kept;
            if (fresh) {
                once = std::make_unique<PulseSystemVolume>(options);
                volume = once.get();
            }
            const bool ok = volume->open() && volume->setVolume(left + bump, right + bump);
            volume->close();
            once.reset();
            const auto called = Clock::now();
            const auto deadline = called + 1s;
            while (watcher.events() == before && Clock::now() < deadline)
                std::this_thread::sleep_for(20us);
            if (!ok || watcher.events() == before) {
                ++failures;
                continue;
            }
            Sample s;
            s.callMs = std::chrono::duration<double, std::milli>(called - start).count();
            s.changeMs = std::chrono::duration<double, std::milli>(watcher.lastEvent() - start).count();
            (fresh ? freshSamples : keptSamples) << s;
        }
    }

    auto report = [](const char *label, const QList<Sample> &samples) {
        QList<double> call, change;
        for (const Sample &s : samples) {
            call << s.callMs;
            change << s.changeMs;
        }
        QTextStream(stdout) << QStringLiteral("%1  movement to sink change: median %2 ms, p95 %3 ms;  "
                                              "open+set+close call: median %4 ms\n")
                                   .arg(QLatin1String(label), -28)
                                   .arg(quantile(change, 0.5), 0, 'f', 3)
                                   .arg(quantile(change, 0.95), 0, 'f', 3)
                                   .arg(quantile(call, 0.5), 0, 'f', 3);
        return quantile(change, 0.5);
    };
    QTextStream(stdout) << movements << " movements each, interleaved; " << failures << " without a change seen\n";
    const double k = report("kept connection", keptSamples);
    const double f = report("new connection per movement", freshSamples);
    QTextStream(stdout) << QStringLiteral("kept / new-connection median: %1\n").arg(f > 0 ? k / f : 0, 0, 'f', 2);
    return failures == 0 ? 0 : 1;
}
