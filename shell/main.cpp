// The composition root: the real adapters behind every platform seam.
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

#include <QApplication>
#include <QStyleFactory>

#ifndef MUSICBOX_CATALOGUE_URL
#error "MUSICBOX_CATALOGUE_URL must name the catalogue server"
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("musicbox"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    loadQtTranslations(app);

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
    box.start();
    box.offerOnSessionBus();
    const int rc = QApplication::exec();
    tray.remove();
    // A transfer still running ends here: its partial file is removed and
    // its worker joined before the process ends.
    box.subsystems().downloads.releaseDownloader();
    return rc;
}
