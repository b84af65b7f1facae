#include "windowservices.h"

WindowServices::WindowServices(FixtureServer::Handler catalogue)
    : http(std::chrono::milliseconds(1000), std::chrono::milliseconds(2000))
{
    server.setHandler(std::move(catalogue));
}

std::unique_ptr<MainWindow> WindowServices::openWindow()
{
    auto window = std::make_unique<MainWindow>(shell());
    window->show();
    window->onMainWindowCreated();
    return window;
}
