#include "windowservices.h"

#include "mainwindow.h"

#include <QSignalSpy>

WindowServices::WindowServices(FixtureServer::Handler catalogue)
    : http(std::chrono::milliseconds(1000), std::chrono::milliseconds(2000))
{
    server.setHandler(std::move(catalogue));
}

std::unique_ptr<MusicBox> WindowServices::openWindow()
{
    auto box = std::make_unique<MusicBox>(services());
    QSignalSpy finished(&box->window(), &MainWindow::startupFinished);
    box->start();
    if (finished.isEmpty())
        finished.wait(2000);
    return box;
}
