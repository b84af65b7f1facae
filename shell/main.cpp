#include "curlhttpclient.h"
#include "gstmediaplayer.h"
#include "mainwindow.h"
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

    MainWindow window({http, registry, dialogs, tray, player, QByteArrayLiteral(MUSICBOX_CATALOGUE_URL)});
    QObject::connect(&window, &MainWindow::exitRequested, &app, &QApplication::quit);
    window.show();
    window.onMainWindowCreated();
    const int rc = QApplication::exec();
    tray.remove();
    return rc;
}
