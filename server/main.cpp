// catalogue-server [--host 127.0.0.1] [--port N] LIBRARY_DIR
//
// Serves the music box's catalogue from a folder of music files. Prints
// "listening on http://HOST:PORT" on its first line once it accepts
// connections, and stops cleanly on SIGTERM or SIGINT.

#include "catalogueserver.h"
#include "requesttarget.h"
#include "songlibrary.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
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
    std::cerr << "usage: catalogue-server [--host ADDRESS] [--port N] LIBRARY_DIR\n"
                 "  --host ADDRESS  address to listen on (default 127.0.0.1)\n"
                 "  --port N        port to listen on, 0 for any free port (default "
              << MUSICBOX_CATALOGUE_PORT << ")\n";
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    std::string host = "127.0.0.1";
    int port = MUSICBOX_CATALOGUE_PORT;
    std::string folder;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--host" && i + 1 < argc) {
            host = argv[++i];
        } else if (argument == "--port" && i + 1 < argc) {
            const auto value = parseId(argv[++i]);
            if (!value || *value > 65535) {
                std::cerr << "catalogue-server: bad port " << argv[i] << "\n";
                return usage();
            }
            port = *value;
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

    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        std::cerr << "catalogue-server: " << folder << " is not a folder\n";
        return 1;
    }

    const SongLibrary library = SongLibrary::scan(folder);
    int withLyrics = 0;
    for (const Song &song : library.songs())
        withLyrics += song.lyricsId != 0;
    std::cerr << "catalogue-server: " << library.songs().size() << " songs (" << withLyrics
              << " with lyrics), " << library.genres().size() << " genres in " << folder << "\n";

    // SIGTERM and SIGINT are taken by sigwait() on this thread only: block
    // them before any other thread exists, so every thread inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    CatalogueServer server(library);
    const int boundPort = server.bind(host, port);
    if (boundPort < 0) {
        std::cerr << "catalogue-server: cannot listen on " << host << ":" << port << "\n";
        return 1;
    }
    std::cout << "listening on " << server.baseAddress() << std::endl;

    bool served = true;
    std::thread serving([&] {
        served = server.run();
        // Wake the waiting main thread if serving ended on its own.
        ::kill(::getpid(), SIGTERM);
    });

    int received = 0;
    sigwait(&stopSignals, &received);
    server.stop();
    serving.join();
    if (!served)
        std::cerr << "catalogue-server: serving failed\n";
    return served ? 0 : 1;
}
