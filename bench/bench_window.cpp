// How fast the window fills: 100,000 catalogue names into the song list
// (model and view, painted), and a whole start-up against the catalogue
// server on the demo library.
#include "catalogueserverprocess.h"
#include "curlhttpclient.h"
#include "fakeservices.h"
#include "mainwindow.h"
#include "musicbox.h"
#include "offscreen.h"
#include "songlistmodel.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

namespace {

// The platform services the window needs, silent: no tray, no player.
struct QuietServices : FakeServices
{
    QuietServices() { tray.setAvailable(false); }
};

QString hundredThousandNames()
{
    QString reply;
    reply.reserve(100000 * 40);
    for (int i = 0; i < 100000; ++i)
        reply += QStringLiteral("<name>歌手%1$$一首很长的歌名%1$$$$</name>").arg(i);
    return reply;
}

void BM_FillHundredThousandRows(benchmark::State &state)
{
    CurlHttpClient http;
    QuietServices q;
    MusicBox box({http, q.registry, q.dialogs, q.tray, q.player, q.downloader, q.volume, q.urlOpener, QByteArrayLiteral("http://127.0.0.1:9")});
    MainWindow &window = box.window();
    SongListModel &songs = box.subsystems().songs;
    window.show();
    auto *view = window.findChild<QTreeView *>(QStringLiteral("播放列表框"));
    const QString reply = hundredThousandNames();
    for (auto _ : state) {
        songs.clear();
        songs.fillSongList(reply, 0, QStringLiteral("栖木网络"));
        QApplication::processEvents();
        benchmark::DoNotOptimize(view->grab());
    }
}
BENCHMARK(BM_FillHundredThousandRows)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_StartupAgainstDemoServer(benchmark::State &state)
{
    const CatalogueServerProcess server(QStringLiteral(CATALOGUE_SERVER), QStringLiteral(DEMO_LIBRARY));
    const QByteArray base = server.baseUrl();
    if (base.isEmpty()) {
        state.SkipWithError("catalogue server did not start");
        return;
    }
    CurlHttpClient http;
    QuietServices q;
    int rows = 0;
    for (auto _ : state) {
        MusicBox box({http, q.registry, q.dialogs, q.tray, q.player, q.downloader, q.volume, q.urlOpener, base});
        box.start();
        MainWindow &window = box.window();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
        rows = box.subsystems().songs.rowCount();
    }
    state.counters["rows"] = rows;
}
BENCHMARK(BM_StartupAgainstDemoServer)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    silenceOffscreenWarnings();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
