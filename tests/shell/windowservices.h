#pragma once

#include "curlhttpclient.h"
#include "fakeservices.h"
#include "fixtureserver.h"
#include "mainwindow.h"
#include "musicbox.h"

#include <QAction>
#include <QMenu>

#include <memory>

// Everything the music box works with, faked at the seams, with a scripted
// catalogue on 127.0.0.1 behind the real HTTP client (short time-outs).
struct WindowServices : FakeServices
{
    explicit WindowServices(FixtureServer::Handler catalogue);

    Services services()
    {
        return {http, registry, dialogs, tray, player, downloader, volume, urlOpener, server.baseUrl()};
    }

    // A new music box, its window shown and through its created step.
    std::unique_ptr<MusicBox> openWindow();

    FixtureServer server;
    CurlHttpClient http;
};

// A menu item of the window by its caption without the access key, e.g.
// "开启连播"; a menu by its name ("菜单", "隐藏菜单", "托盘菜单").
inline QAction *menuItem(QWidget *window, const QString &name)
{
    return window->findChild<QAction *>(name);
}
inline QMenu *menuNamed(QWidget *window, const char *name)
{
    return window->findChild<QMenu *>(QString::fromUtf8(name));
}
