// The composition root: the real adapters behind every platform seam.
#include "accessibility.h"
#include "curlapi.h"
#include "curldownloader.h"
#include "curlhttpclient.h"
#include "gstmediaplayer.h"
#include "mainwindow.h"
#include "musicbox.h"
#include "pulsesystemvolume.h"
#include "qsettingsregistry.h"
#include "qtdialogs.h"
#include "qttray.h"
#include "qturlopener.h"
#include "translations.h"
#include "singleinstance.h"
#include "skinpictures.h"

#include <QApplication>
#include <QScopeGuard>
#include <QStyleFactory>

#include <cstdio>
#include <cstring>

#ifndef MUSICBOX_CATALOGUE_URL
#error "MUSICBOX_CATALOGUE_URL must name the catalogue server"
#endif
#if !defined(MUSICBOX_APP_ID) || !defined(MUSICBOX_VERSION)
#error "MUSICBOX_APP_ID and MUSICBOX_VERSION come from the build"
#endif

namespace {

// The program reads two arguments, --help and --version, and answers them
// before it opens a window (so they work without a display); every other
// argument is ignored.
bool answeredArgument(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs("用法: musicbox [--help | --version]\n"
                       "沐弦音乐盒: 按歌名或歌手搜索曲库、浏览榜单、试听和下载歌曲，\n"
                       "播放本地的 MP3、WMA、WAV 和 MIDI 文件。\n"
                       "\n"
                       "  --help     显示本说明并退出\n"
                       "  --version  显示版本并退出\n"
                       "\n"
                       "曲库服务器: " MUSICBOX_CATALOGUE_URL "\n"
                       "已经在运行时再次启动，会把正在运行的窗口显示到前面。\n",
                       stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("musicbox " MUSICBOX_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    if (answeredArgument(argc, argv))
        return 0;
    // The skin decodes on a thread of its own while Qt connects to the
    // display; the window finds its pictures ready.
    skin::Preload skinPictures;
    installAccessibility();

    QApplication app(argc, argv);
    // The decoding thread ends before the application does, however main
    // returns: a second start that only hands over can end while it runs.
    const auto endPictures = qScopeGuard([&skinPictures] { skinPictures.finish(); });
    QApplication::setApplicationName(QStringLiteral("musicbox"));
    QApplication::setApplicationVersion(QStringLiteral(MUSICBOX_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(MUSICBOX_APP_ID));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    loadQtTranslations(app);

    // A second start shows the running window and ends here, before it
    // touches the tray, the sound server or the catalogue.
    SingleInstance instance(QStringLiteral(MUSICBOX_APP_ID));
    switch (instance.claim()) {
    case SingleInstance::Claim::Primary:
        break;
    case SingleInstance::Claim::Forwarded:
        return 0;
    case SingleInstance::Claim::NoAnswer:
        std::fprintf(stderr, "musicbox: %s\n", qPrintable(instance.errorString()));
        return 1;
    case SingleInstance::Claim::Unguarded:
        std::fprintf(stderr, "musicbox: %s; starting without the one-instance guard\n",
                     qPrintable(instance.errorString()));
        break;
    }

    CurlHttpClient http;
    QSettingsRegistry registry;
    QtDialogs dialogs;
    QtTray tray;
    GstMediaPlayer player;
    CurlDownloader downloader;
    PulseSystemVolume volume;
    QtUrlOpener urlOpener;

    MusicBox box({http, registry, dialogs, tray, player, downloader, volume, urlOpener,
                  QByteArrayLiteral(MUSICBOX_CATALOGUE_URL)});
    dialogs.setParentWindow(&box.window());
    QObject::connect(&box.window(), &MainWindow::exitRequested, &app, &QApplication::quit);
    QObject::connect(&instance, &SingleInstance::activationRequested, &box.window(), &MainWindow::showFromTray);
    // libcurl opens on a thread of its own while the window goes on the
    // screen; the first catalogue request finds it ready.
    const CurlPreload curl;
    box.start();
    box.offerOnSessionBus();
    const int rc = QApplication::exec();
    tray.remove();
    // A transfer still running ends here: its partial file is removed and
    // its worker joined before the process ends.
    box.subsystems().downloads.releaseDownloader();
    return rc;
}
