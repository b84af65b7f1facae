#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// What the fixture server does with one request. Designated initializers
// read well ({.status = 404, .body = "x"}); GCC 12 warns about some that skip
// a field (e.g. {.mode = ...} alone), so set such replies field by field.
struct FixtureReply
{
    enum class Mode {
        Normal,     // status line, headers with Content-Length, the whole body
        Stall,      // read the request, then never answer (until the client hangs up
                    // or the server is destroyed)
        CloseEarly, // announce a Content-Length larger than the body, send the first
                    // half of the body, close
        Endless,    // headers without Content-Length, then body bytes without end
                    // until the client hangs up
    };

    int status = 200;
    QByteArray body;
    Mode mode = Mode::Normal;
    int delayMs = 0;       // pause after reading the request, before answering
    QByteArray contentType = "text/plain";
    int chunkDelayMs = 0;  // pause between 16 KiB pieces of the body (Normal, Endless),
                           // for clients that watch a transfer in progress
    QList<QByteArray> headers = {}; // further header lines, without CRLF ("Location: /x")
    qint64 announcedLength = -1;    // Normal: the Content-Length to announce instead of the
                                    // body's size (a lie: shorter or longer than the body)
    int chunkBytes = 16 * 1024; // the size of those pieces (Normal); with chunkDelayMs
                                // it sets the rate a body arrives at
    qsizetype stallAtByte = -1; // Normal: after this many body bytes, pause stallMs once
    int stallMs = 0;            // (a stream that runs dry for a while)
    int holdOpenMs = 0;             // Normal: keep the connection open this long after the
                                    // body (ignoring "Connection: close"), then close
};

// A scripted HTTP/1.1 server on 127.0.0.1 at an ephemeral port, for tests.
//
// It serves one connection after another on its own thread with plain
// sockets, so the test thread may block in a client meanwhile; every answer
// carries "Connection: close". A stalled connection is parked and no longer
// holds up the next one. The handler runs on the server's thread. Destroying
// the server stops everything promptly, stalled and endless connections
// included.
class FixtureServer
{
public:
    using Handler = std::function<FixtureReply(const QByteArray &target)>;

    FixtureServer();
    ~FixtureServer();
    FixtureServer(const FixtureServer &) = delete;
    FixtureServer &operator=(const FixtureServer &) = delete;

    quint16 port() const { return m_port; }
    QByteArray baseUrl() const; // "http://127.0.0.1:PORT"

    // Decides the reply to every following request; the default answers 200
    // with an empty body.
    void setHandler(Handler handler);
    // The same reply for every following request.
    void setReply(const FixtureReply &reply);

    // The raw request-target bytes of every request received, in order.
    QList<QByteArray> targets() const;
    void clearTargets();

private:
    void run();
    void serve(int fd);
    bool waitFor(int fd, short events, int timeoutMs);
    bool sendAll(int fd, const char *data, qsizetype size);
    bool pause(int ms);

    int m_listenFd = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    QList<int> m_parked; // stalled connections; server thread only

    mutable std::mutex m_mutex;
    Handler m_handler;
    QList<QByteArray> m_targets;

    std::thread m_thread;
};
