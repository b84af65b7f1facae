// The composition root: the real adapters behind every platform seam.
#include "curlhttpclient.h"
#include "gstmediaplayer.h"
#include "mainwindow.h"
#include "musicbox.h"
#include "qsettingsregistry.h"
#include "qtdialogs.h"
#include "qttray.h"

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

    CurlHttpClient http;
    QSettingsRegistry registry;
    QtDialogs dialogs;
    QtTray tray;
    GstMediaPlayer player;

    MusicBox box({http, registry, dialogs, tray, player, QByteArrayLiteral(MUSICBOX_CATALOGUE_URL)});
    dialogs.setParentWindow(&box.window());
    QObject::connect(&box.window(), &MainWindow::exitRequested, &app, &QApplication::quit);
    box.start();
    const int rc = QApplication::exec();
    tray.remove();
    return rc;
}
