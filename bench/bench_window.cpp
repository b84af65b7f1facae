// How fast the window fills: 100,000 catalogue names into the song list
// (model and view, painted), and a whole start-up against the catalogue
// server on the demo library.
#include "catalogueserverprocess.h"
#include "curlhttpclient.h"
#include "dialogs.h"
#include "mainwindow.h"
#include "mediaplayer.h"
#include "offscreen.h"
#include "registry.h"
#include "songlistmodel.h"
#include "tray.h"

#include <QApplication>
#include <QTreeView>

#include <benchmark/benchmark.h>

namespace {

class NoRegistry : public Registry
{
public:
    QString readString(const QString &, const QString &) override { return {}; }
    bool writeString(const QString &, const QString &, const QString &) override { return true; }
};

class NoDialogs : public Dialogs
{
public:
    void message(QWidget *, const QString &, const QString &, Icon) override {}
    QString openFile(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFile(QWidget *, const QString &, const QString &, const QString &) override { return {}; }
};

class NoTray : public Tray
{
public:
    bool isAvailable() const override { return false; }
    void show(const QIcon &, const QString &) override {}
    void remove() override {}
    bool isShown() const override { return false; }
};

class NoPlayer : public MediaPlayer
{
public:
    void setUrl(const QString &) override {}
    QString url() const override { return {}; }
    int playState() const override { return Undefined; }
    void play() override {}
    void pause() override {}
    void stop() override {}
    QString currentPositionString() const override { return {}; }
    void setBalance(int) override {}
    int bufferingProgress() const override { return 0; }
    int downloadProgress() const override { return 0; }
    int bandWidth() const override { return 0; }
    QString durationString() const override { return {}; }
    QString itemInfo(const QString &) const override { return {}; }
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
    NoRegistry registry;
    NoDialogs dialogs;
    NoTray tray;
    NoPlayer player;
    MainWindow window({http, registry, dialogs, tray, player, QByteArrayLiteral("http://127.0.0.1:9")});
    window.show();
    auto *view = window.findChild<QTreeView *>(QStringLiteral("播放列表框"));
    const QString reply = hundredThousandNames();
    for (auto _ : state) {
        window.songList().clear();
        window.songList().fillSongList(reply, 0, QStringLiteral("栖木网络"));
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
    NoRegistry registry;
    NoDialogs dialogs;
    NoTray tray;
    NoPlayer player;
    int rows = 0;
    for (auto _ : state) {
        MainWindow window({http, registry, dialogs, tray, player, base});
        window.show();
        window.onMainWindowCreated();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.grab());
        rows = window.songList().rowCount();
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
