#pragma once

#include "catalogueservice.h"
#include "httprequest.h"
#include "songlibrary.h"

#include <chrono>
#include <memory>
#include <string>

struct ServerSettings {
    HttpLimits limits;
    // From a request's first byte to the end of its head.
    std::chrono::milliseconds headerDeadline{10000};
    // A connection with no request under way (new, or kept alive) is closed
    // after this long.
    std::chrono::milliseconds idleTimeout{5000};
    // Sending a reply may stall this long before the connection is closed.
    std::chrono::milliseconds sendTimeout{30000};
    int threads = 0;    // 0: one per processor core
    int backlog = 1024; // pending connections the kernel keeps
};

// The HTTP front of the catalogue: an event-driven loopback listener. Every
// connection waits in the event loop, so idle or slow clients hold no
// thread; a few threads run the loop. Requests are read by RequestReader,
// answered by answerRequest(), and song files are sent with sendfile().
class CatalogueServer {
public:
    CatalogueServer(const SongLibrary &library, ServerSettings settings = {});
    ~CatalogueServer();
    CatalogueServer(const CatalogueServer &) = delete;
    CatalogueServer &operator=(const CatalogueServer &) = delete;

    // Binds and listens; port 0 picks a free port. Returns the bound port,
    // or -1 with the reason in `error`.
    int listen(const std::string &host, int port, std::string &error);

    // The address that song replies point to, valid after listen().
    const std::string &baseAddress() const { return m_baseAddress; }

    // Serves until stop(). Returns at once when stop() came first.
    void run();
    // Safe from any thread, at any moment, also before run().
    void stop();

    struct Engine; // the event loop and its connections (catalogueserver.cpp)

private:
    std::unique_ptr<Engine> m_engine;
    std::string m_baseAddress;
};
