#pragma once

#include "catalogueservice.h"
#include "songlibrary.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
}

// The HTTP front of the catalogue: one loopback listener whose requests are
// answered by CatalogueService on the HTTP library's worker threads. Song
// files are streamed from disk with byte-range support.
class CatalogueServer {
public:
    explicit CatalogueServer(const SongLibrary &library);
    ~CatalogueServer();

    // Binds the listening socket; port 0 picks a free port. Returns the
    // bound port, or -1 when the address cannot be bound.
    int bind(const std::string &host, int port);

    // The address that song replies point to, valid after bind().
    const std::string &baseAddress() const { return m_baseAddress; }

    // Serves until stop() is called. Returns false if serving failed.
    bool run();
    void stop();

private:
    const SongLibrary &m_library;
    std::unique_ptr<httplib::Server> m_http;
    std::unique_ptr<CatalogueService> m_service;
    std::string m_baseAddress;
};
