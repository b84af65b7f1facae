#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// How much of a request head the server takes in before it answers 431
// (Request Header Fields Too Large) and closes the connection.
struct HttpLimits {
    size_t maxHeaderBytes = 16 * 1024; // request line and fields together
    size_t maxHeaderFields = 64;
};

// The parts of one request head that the catalogue looks at.
struct RequestHead {
    std::string method;
    std::string target;              // exactly as sent
    std::optional<std::string> range; // the Range field, when sent once
    bool ifRange = false;            // an If-Range field was sent
    bool keepAlive = true;           // the client allows another request
    bool bodyFollows = false;        // a body was announced (never read)
};

// Takes request heads out of the bytes received on one connection, one
// after another (pipelined requests stay queued). Bodies are never read:
// catalogue requests have none, and a request that announces one is
// answered and its connection closed.
class RequestReader {
public:
    enum class State { NeedMore, Complete, Failed };

    explicit RequestReader(HttpLimits limits = {});
    ~RequestReader();
    RequestReader(const RequestReader &) = delete;
    RequestReader &operator=(const RequestReader &) = delete;

    void append(const char *bytes, size_t size);

    // Complete: `head` holds the next request. Failed: `status` is the
    // status to answer with (400, 414, 431 or 505) before closing.
    State next(RequestHead &head, int &status);

    // Bytes received and not yet taken (the start of a next request).
    size_t pendingBytes() const { return m_input.size(); }

private:
    struct Parser;
    HttpLimits m_limits;
    std::string m_input;
    std::unique_ptr<Parser> m_parser; // the head being read, kept between calls
};
