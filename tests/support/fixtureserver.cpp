#include "fixtureserver.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QtDebug>

#include <vector>

namespace {

constexpr qsizetype maxRequestHead = 64 * 1024;
constexpr int requestHeadTimeoutMs = 10000;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 307: return "Temporary Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray head(const FixtureReply &reply, const QByteArray &lengthHeader)
{
    QByteArray h = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
    h += "Content-Type: " + reply.contentType + "\r\n";
    h += lengthHeader;
    for (const QByteArray &line : reply.headers)
        h += line + "\r\n";
    h += "Connection: close\r\n\r\n";
    return h;
}

} // namespace

FixtureServer::FixtureServer()
{
    int wake[2];
    if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        qFatal("FixtureServer: pipe2 failed: %s", std::strerror(errno));
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_listenFd < 0)
        qFatal("FixtureServer: socket failed: %s", std::strerror(errno));
    const int yes = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (bind(m_listenFd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || listen(m_listenFd, 16) != 0)
        qFatal("FixtureServer: cannot listen on 127.0.0.1: %s", std::strerror(errno));
    socklen_t len = sizeof addr;
    getsockname(m_listenFd, reinterpret_cast<sockaddr *>(&addr), &len);
    m_port = ntohs(addr.sin_port);

    m_thread = std::thread([this] { run(); });
}

FixtureServer::~FixtureServer()
{
    m_stopping = true;
    const char byte = 'x';
    [[maybe_unused]] const ssize_t n = write(m_wakeWrite, &byte, 1);
    if (m_thread.joinable())
        m_thread.join();
    close(m_listenFd);
    close(m_wakeRead);
    close(m_wakeWrite);
}

QByteArray FixtureServer::baseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port);
}

void FixtureServer::setHandler(Handler handler)
{
    std::lock_guard lock(m_mutex);
    m_handler = std::move(handler);
}

void FixtureServer::setReply(const FixtureReply &reply)
{
    setHandler([reply](const QByteArray &) { return reply; });
}

QList<QByteArray> FixtureServer::targets() const
{
    std::lock_guard lock(m_mutex);
    return m_targets;
}

void FixtureServer::clearTargets()
{
    std::lock_guard lock(m_mutex);
    m_targets.clear();
}

void FixtureServer::run()
{
    while (!m_stopping) {
        std::vector<pollfd> fds;
        fds.push_back({m_wakeRead, POLLIN, 0});
        fds.push_back({m_listenFd, POLLIN, 0});
        for (int fd : m_parked)
            fds.push_back({fd, POLLIN, 0});
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents != 0)
            break;
        // A parked client that hangs up (or sends more) is let go.
        for (size_t i = 2; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            char scratch[4096];
            const ssize_t n = recv(fds[i].fd, scratch, sizeof scratch, 0);
            if (n <= 0 && !(n < 0 && (errno == EAGAIN || errno == EINTR))) {
                close(fds[i].fd);
                m_parked.removeOne(fds[i].fd);
            }
        }
        if (fds[1].revents & POLLIN) {
            const int client = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0)
                serve(client);
        }
    }
    for (int fd : m_parked)
        close(fd);
    m_parked.clear();
}

bool FixtureServer::waitFor(int fd, short events, int timeoutMs)
{
    pollfd fds[2] = {{m_wakeRead, POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        const int n = poll(fds, 2, timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || fds[0].revents != 0)
            return false;
        return fds[1].revents != 0;
    }
}

bool FixtureServer::pause(int ms)
{
    if (ms <= 0)
        return !m_stopping;
    pollfd wake{m_wakeRead, POLLIN, 0};
    return poll(&wake, 1, ms) == 0;
}

bool FixtureServer::sendAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n > 0) {
            data += n;
            size -= n;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (!waitFor(fd, POLLOUT, -1))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

void FixtureServer::serve(int fd)
{
    // The request head: everything up to the blank line.
    QByteArray request;
    while (!request.contains("\r\n\r\n")) {
        if (request.size() > maxRequestHead || !waitFor(fd, POLLIN, requestHeadTimeoutMs)) {
            close(fd);
            return;
        }
        char buffer[4096];
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0) {
            close(fd);
            return;
        }
        request.append(buffer, n);
    }

    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    if (requestLine.size() != 3) {
        close(fd);
        return;
    }
    const QByteArray &method = requestLine.at(0);
    const QByteArray &target = requestLine.at(1);

    Handler handler;
    {
        std::lock_guard lock(m_mutex);
        m_targets.append(target);
        handler = m_handler;
    }
    const FixtureReply reply = handler ? handler(target) : FixtureReply{};

    if (!pause(reply.delayMs)) {
        close(fd);
        return;
    }

    const bool headOnly = method == "HEAD";
    bool ok = true;
    switch (reply.mode) {
    case FixtureReply::Mode::Stall:
        m_parked.append(fd);
        return;

    case FixtureReply::Mode::CloseEarly: {
        const QByteArray h = head(reply, "Content-Length: " + QByteArray::number(reply.body.size() + 1000) + "\r\n");
        const QByteArray part = reply.body.left(reply.body.size() / 2);
        if (sendAll(fd, h.constData(), h.size()) && !headOnly)
            sendAll(fd, part.constData(), part.size());
        close(fd);
        return;
    }

    case FixtureReply::Mode::Endless: {
        const QByteArray h = head(reply, QByteArray());
        ok = sendAll(fd, h.constData(), h.size());
        const QByteArray piece = reply.body.isEmpty() ? QByteArray(64 * 1024, 'x') : reply.body;
        while (ok && !headOnly && !m_stopping)
            ok = sendAll(fd, piece.constData(), piece.size()) && pause(reply.chunkDelayMs);
        close(fd);
        return;
    }

    case FixtureReply::Mode::Normal: {
        const qint64 announced = reply.announcedLength >= 0 ? reply.announcedLength : reply.body.size();
        const QByteArray h = head(reply, "Content-Length: " + QByteArray::number(announced) + "\r\n");
        ok = sendAll(fd, h.constData(), h.size());
        if (!headOnly) {
            const qsizetype step = reply.chunkDelayMs > 0 ? qMax<qsizetype>(reply.chunkBytes, 1)
                                                          : qMax<qsizetype>(reply.body.size(), 1);
            for (qsizetype at = 0; ok && at < reply.body.size();) {
                qsizetype end = qMin(at + step, reply.body.size());
                if (reply.stallAtByte > at && reply.stallAtByte < end)
                    end = reply.stallAtByte;
                ok = sendAll(fd, reply.body.constData() + at, end - at);
                at = end;
                if (ok && at < reply.body.size() && at == reply.stallAtByte)
                    ok = pause(reply.stallMs);
                if (ok && at < reply.body.size())
                    ok = pause(reply.chunkDelayMs);
            }
        }
        if (ok && reply.holdOpenMs > 0 && !pause(reply.holdOpenMs)) {
            close(fd);
            return;
        }
        break;
    }
    }

    // Orderly close: stop sending, then let the client read to the end and
    // hang up, so that no reset overtakes the last bytes.
    if (ok) {
        shutdown(fd, SHUT_WR);
        for (int i = 0; i < 20 && waitFor(fd, POLLIN, 100); ++i) {
            char scratch[4096];
            const ssize_t n = recv(fd, scratch, sizeof scratch, 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
                break;
        }
    }
    close(fd);
}
