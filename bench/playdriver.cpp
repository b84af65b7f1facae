// A minimal player around GstMediaPlayer: plays one address into a chosen
// audio sink and ends when the media ends (or fails). The playback benchmark
// runs it next to gst-play-1.0, so both sides carry only GStreamer and the
// code that drives it, not a window.
//
//   playdriver [--sink DESC] [--trace] [--pause-at S --resume-at S] ADDRESS
//
// --trace prints, every 100 ms, the time since start, the play state and the
// figures the window reads (buffering, received, bandwidth, position,
// duration), which makes the adapter's behaviour on a stream easy to watch.

#include "gstmediaplayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QString sink = QStringLiteral("autoaudiosink");
    QString url;
    bool trace = false;
    double pauseAt = -1, resumeAt = -1;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--sink") && i + 1 < args.size())
            sink = args.at(++i);
        else if (a == QLatin1String("--trace"))
            trace = true;
        else if (a == QLatin1String("--pause-at") && i + 1 < args.size())
            pauseAt = args.at(++i).toDouble();
        else if (a == QLatin1String("--resume-at") && i + 1 < args.size())
            resumeAt = args.at(++i).toDouble();
        else
            url = a;
    }
    if (url.isEmpty()) {
        std::fprintf(stderr, "usage: playdriver [--sink DESC] [--trace] [--pause-at S --resume-at S] ADDRESS\n");
        return 2;
    }

    GstMediaPlayer player(sink);
    QElapsedTimer clock;
    clock.start();
    auto line = [&](const char *what) {
        if (!trace)
            return;
        std::printf("%6.2f %-6s state %2d buf %3d recv %3d bw %7d pos %-6s dur %s\n", clock.elapsed() / 1000.0, what,
                    player.playState(), player.bufferingProgress(), player.downloadProgress(), player.bandWidth(),
                    qPrintable(player.currentPositionString()), qPrintable(player.durationString()));
        std::fflush(stdout);
    };
    int exitCode = 0;
    QObject::connect(&player, &MediaPlayer::playStateChanged, &app, [&](int state) {
        line("state");
        if (state == MediaPlayer::Stopped)
            app.quit();
        else if (state == MediaPlayer::Ready) {
            exitCode = 1;
            app.quit();
        }
    });
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, &app, [&] { line("tick"); });
    if (trace)
        ticker.start(100);
    if (pauseAt >= 0)
        QTimer::singleShot(int(pauseAt * 1000), &app, [&] { player.pause(); });
    if (resumeAt >= 0)
        QTimer::singleShot(int(resumeAt * 1000), &app, [&] { player.play(); });
    player.setUrl(url);
    app.exec();
    return exitCode;
}
