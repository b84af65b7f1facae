#pragma once

#include "curlhttpclient.h"
#include "fakedialogs.h"
#include "fakemediaplayer.h"
#include "fakeregistry.h"
#include "faketray.h"
#include "fixtureserver.h"
#include "mainwindow.h"

#include <memory>

// Everything the main window works with, faked at the seams, with a scripted
// catalogue on 127.0.0.1 behind the real HTTP client (short time-outs).
struct WindowServices
{
    explicit WindowServices(FixtureServer::Handler catalogue);

    ShellServices shell() { return {http, registry, dialogs, tray, player, server.baseUrl()}; }

    // A new main window, shown and through its created step.
    std::unique_ptr<MainWindow> openWindow();

    FixtureServer server;
    CurlHttpClient http;
    FakeRegistry registry;
    FakeDialogs dialogs;
    FakeTray tray;
    FakeMediaPlayer player;
};
