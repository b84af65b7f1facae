// catalogue-server [--host 127.0.0.1] [--port N] LIBRARY_DIR
//
// Serves the music box's catalogue from a folder of music files. Prints
// "listening on http://HOST:PORT" on its first line once it accepts
// connections, and stops cleanly on SIGTERM or SIGINT.

#include "catalogueserver.h"
#include "requesttarget.h"
#include "songlibrary.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <string>
#include <optional>
#include <thread>

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#ifndef MUSICBOX_CATALOGUE_PORT
#define MUSICBOX_CATALOGUE_PORT 17380
#endif

namespace {

int usage()
{
    std::cerr << "usage: catalogue-server [OPTIONS] LIBRARY_DIR\n"
                 "  --host ADDRESS         address to listen on (default 127.0.0.1)\n"
                 "  --port N               port to listen on, 0 for any free port (default "
              << MUSICBOX_CATALOGUE_PORT << ")\n"
                 "  --threads N            threads serving requests (default: one per core)\n"
                 "  --header-timeout MS    time a client has to send a request head (default 10000)\n"
                 "  --idle-timeout MS      idle connections are closed after this (default 5000)\n";
    return 2;
}

// Stops whatever the process is doing when SIGTERM or SIGINT arrives: the
// scan (which then gives up) or the server (which may not be running yet).
struct StopControl {
    std::mutex mutex;
    std::atomic<bool> requested{false};
    CatalogueServer *server = nullptr;

    void stop()
    {
        std::lock_guard lock(mutex);
        requested = true;
        if (server)
            server->stop();
    }
    // False when a stop came first.
    bool attach(CatalogueServer *newServer)
    {
        std::lock_guard lock(mutex);
        server = newServer;
        return !requested;
    }
};

} // namespace

int main(int argc, char *argv[])
{
    // SIGTERM and SIGINT are taken by sigwait() on one thread only: block
    // them before any other thread exists, so every thread inherits the
    // mask, and before anything slow happens, so no signal is ever lost.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string host = "127.0.0.1";
    int port = MUSICBOX_CATALOGUE_PORT;
    ServerSettings settings;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        auto number = [&](int max) -> std::optional<int> {
            const auto value = parseId(argv[++i]);
            if (!value || *value > max)
                return std::nullopt;
            return value;
        };
        if (argument == "--host" && i + 1 < argc) {
            host = argv[++i];
        } else if (argument == "--port" && i + 1 < argc) {
            const auto value = number(65535);
            if (!value) {
                std::cerr << "catalogue-server: bad port " << argv[i] << "\n";
                return usage();
            }
            port = *value;
        } else if (argument == "--threads" && i + 1 < argc) {
            const auto value = number(256);
            if (!value || *value == 0) {
                std::cerr << "catalogue-server: bad thread count " << argv[i] << "\n";
                return usage();
            }
            settings.threads = *value;
        } else if ((argument == "--header-timeout" || argument == "--idle-timeout") && i + 1 < argc) {
            const auto value = number(3600 * 1000);
            if (!value || *value == 0) {
                std::cerr << "catalogue-server: bad time-out " << argv[i] << "\n";
                return usage();
            }
            (argument == "--header-timeout" ? settings.headerDeadline : settings.idleTimeout) =
                std::chrono::milliseconds(*value);
        } else if (argument == "-h" || argument == "--help") {
            usage();
            return 0;
        } else if (!argument.empty() && argument[0] == '-') {
            std::cerr << "catalogue-server: unknown option " << argument << "\n";
            return usage();
        } else if (folder.empty()) {
            folder = argument;
        } else {
            return usage();
        }
    }
    if (folder.empty())
        return usage();

    StopControl control;
    std::thread watcher([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        control.stop();
    });
    // Ends the watcher when the process ends for another reason.
    auto finish = [&](int status) {
        if (!control.requested)
            ::kill(::getpid(), SIGTERM);
        watcher.join();
        return status;
    };

    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "catalogue-server: " << folder << " is not a folder\n";
        return finish(1);
    }

    const auto scanStart = std::chrono::steady_clock::now();
    const SongLibrary library = SongLibrary::scan(folder, &control.requested);
    const std::chrono::duration<double> scanTime = std::chrono::steady_clock::now() - scanStart;
    if (control.requested)
        return finish(0);
    int withLyrics = 0;
    for (const Song &song : library.songs())
        withLyrics += song.lyricsId != 0;
    std::cerr << "catalogue-server: " << library.songs().size() << " songs (" << withLyrics
              << " with lyrics), " << library.genres().size() << " genres in " << folder << ", read in "
              << scanTime.count() << " s\n";

    CatalogueServer server(library, settings);
    std::string reason;
    const int boundPort = server.listen(host, port, reason);
    if (boundPort < 0) {
        std::cerr << "catalogue-server: cannot listen on " << host << ":" << port << ": " << reason
                  << (port != 0 ? " (is another server using this port? choose one with --port)" : "") << "\n";
        return finish(1);
    }
    std::cout << "listening on " << server.baseAddress() << std::endl;

    // A stop that came before this point makes run() return at once.
    if (control.attach(&server))
        server.run();
    control.attach(nullptr);
    return finish(0);
}
