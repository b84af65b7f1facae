#include "catalogueserver.h"

#include "httpanswer.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <vector>

namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kReadChunk = 16 * 1024;
constexpr uint64_t kSendfileChunk = 4 << 20;
constexpr int kAcceptsPerWake = 64;

// Descriptors left for files, the listener and the rest of the process.
constexpr long kSpareDescriptors = 64;

long raiseDescriptorLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ::getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur == RLIM_INFINITY ? 1 << 20 : long(limit.rlim_cur);
}

} // namespace

struct CatalogueServer::Engine {
    Engine(const SongLibrary &library, ServerSettings settings)
        : library(library)
        , settings(settings)
        , acceptor(context)
        , acceptRetry(context)
    {
        maxConnections = std::clamp<long>(raiseDescriptorLimit() - kSpareDescriptors, 16, 100000);
    }

    void acceptSome();

    const SongLibrary &library;
    ServerSettings settings;
    std::unique_ptr<CatalogueService> service;
    net::io_context context;
    tcp::acceptor acceptor;
    net::steady_timer acceptRetry;
    std::atomic<long> connections{0};
    long maxConnections = 0;
};

namespace {

// One client connection. Every handler runs on the connection's strand, so
// its state needs no locks; the event loop holds it alive through the
// handlers it has pending.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    Connection(CatalogueServer::Engine &engine, tcp::socket socket)
        : m_engine(engine)
        , m_socket(std::move(socket))
        , m_timer(m_socket.get_executor())
        , m_reader(engine.settings.limits)
    {
        ++m_engine.connections;
    }
    ~Connection() { --m_engine.connections; }

    void start()
    {
        setDeadline(m_engine.settings.idleTimeout);
        armTimer();
        waitForRequest();
    }

private:
    void setDeadline(std::chrono::milliseconds span)
    {
        m_deadline = Clock::now() + span;
        // The timer only ever fires late or on time: move it when the new
        // deadline comes before it.
        if (m_timerArmed && m_deadline < m_timer.expiry())
            armTimer();
    }

    void armTimer()
    {
        m_timerArmed = true;
        m_timer.expires_at(m_deadline);
        m_timer.async_wait([self = shared_from_this()](boost::system::error_code error) {
            if (error || self->m_closed)
                return;
            if (Clock::now() >= self->m_deadline) {
                self->close();
                return;
            }
            self->armTimer();
        });
    }

    void close()
    {
        if (m_closed)
            return;
        m_closed = true;
        boost::system::error_code ignored;
        m_socket.close(ignored);
        m_timer.cancel();
    }

    void waitForRequest()
    {
        if (m_reader.pendingBytes() > 0) {
            handleInput();
            return;
        }
        m_socket.async_wait(tcp::socket::wait_read, [self = shared_from_this()](boost::system::error_code error) {
            if (error || self->m_closed)
                return self->close();
            self->readAvailable();
        });
    }

    void readAvailable()
    {
        thread_local char buffer[kReadChunk];
        const bool requestStarts = m_reader.pendingBytes() == 0;
        const ssize_t got = ::recv(m_socket.native_handle(), buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
            return close();
        if (got > 0) {
            // The head of a request must be complete within the deadline,
            // however slowly its bytes arrive.
            if (requestStarts)
                setDeadline(m_engine.settings.headerDeadline);
            m_reader.append(buffer, size_t(got));
        }
        handleInput();
    }

    void handleInput()
    {
        RequestHead head;
        int status = 0;
        switch (m_reader.next(head, status)) {
        case RequestReader::State::NeedMore:
            if (m_reader.pendingBytes() == 0)
                setDeadline(m_engine.settings.idleTimeout);
            m_socket.async_wait(tcp::socket::wait_read,
                                [self = shared_from_this()](boost::system::error_code error) {
                                    if (error || self->m_closed)
                                        return self->close();
                                    self->readAvailable();
                                });
            return;
        case RequestReader::State::Failed:
            m_answer = answerUnreadable(status);
            break;
        case RequestReader::State::Complete:
            m_answer = answerRequest(*m_engine.service, m_engine.library, head);
            break;
        }
        m_headSent = 0;
        m_bodySent = 0;
        setDeadline(m_engine.settings.sendTimeout);
        sendSome();
    }

    void waitWritable()
    {
        m_socket.async_wait(tcp::socket::wait_write, [self = shared_from_this()](boost::system::error_code error) {
            if (error || self->m_closed)
                return self->close();
            self->sendSome();
        });
    }

    void sendSome()
    {
        const int fd = m_socket.native_handle();
        while (m_headSent < m_answer.head.size() || m_bodySent < m_answer.body.size()) {
            iovec parts[2] = {
                {m_answer.head.data() + m_headSent, m_answer.head.size() - m_headSent},
                {m_answer.body.data() + m_bodySent, m_answer.body.size() - m_bodySent},
            };
            msghdr message{};
            message.msg_iov = parts[0].iov_len ? parts : parts + 1;
            message.msg_iovlen = parts[0].iov_len ? 2 : 1;
            // With a file to follow, the head waits for its first bytes.
            const int flags = MSG_NOSIGNAL | (m_answer.fileLength > 0 ? MSG_MORE : 0);
            const ssize_t sent = ::sendmsg(fd, &message, flags);
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return waitWritable();
                return close();
            }
            size_t count = size_t(sent);
            const size_t fromHead = std::min(count, m_answer.head.size() - m_headSent);
            m_headSent += fromHead;
            m_bodySent += count - fromHead;
            setDeadline(m_engine.settings.sendTimeout);
        }
        while (m_answer.fileLength > 0) {
            off_t offset = off_t(m_answer.fileOffset);
            const ssize_t sent = ::sendfile(fd, m_answer.fileFd, &offset,
                                            size_t(std::min(m_answer.fileLength, kSendfileChunk)));
            if (sent < 0) {
                if (errno == EINTR)
                    continue;
                if (errno == EAGAIN || errno == EWOULDBLOCK)
                    return waitWritable();
                return close();
            }
            if (sent == 0) // the file shrank under us: the promised length cannot be kept
                return close();
            m_answer.fileOffset += uint64_t(sent);
            m_answer.fileLength -= uint64_t(sent);
            setDeadline(m_engine.settings.sendTimeout);
        }
        finishReply();
    }

    void finishReply()
    {
        if (m_answer.closeAfter) {
            // Close gently: stop sending, then drop whatever the client
            // still sends until it closes too (or a second passes), so an
            // unread request cannot turn the close into a reset that
            // destroys the reply on its way.
            ::shutdown(m_socket.native_handle(), SHUT_WR);
            m_answer = HttpAnswer();
            setDeadline(std::chrono::milliseconds(1000));
            drain();
            return;
        }
        m_answer = HttpAnswer();
        setDeadline(m_reader.pendingBytes() > 0 ? m_engine.settings.headerDeadline
                                                : m_engine.settings.idleTimeout);
        waitForRequest();
    }

    void drain()
    {
        m_socket.async_wait(tcp::socket::wait_read, [self = shared_from_this()](boost::system::error_code error) {
            if (error || self->m_closed)
                return self->close();
            char buffer[4096];
            const ssize_t got = ::recv(self->m_socket.native_handle(), buffer, sizeof buffer, 0);
            if (got > 0 || (got < 0 && (errno == EAGAIN || errno == EINTR)))
                return self->drain();
            self->close();
        });
    }

    CatalogueServer::Engine &m_engine;
    tcp::socket m_socket;
    net::steady_timer m_timer;
    RequestReader m_reader;
    HttpAnswer m_answer;
    size_t m_headSent = 0;
    size_t m_bodySent = 0;
    Clock::time_point m_deadline;
    bool m_timerArmed = false;
    bool m_closed = false;
};

} // namespace

void CatalogueServer::Engine::acceptSome()
{
    acceptor.async_wait(tcp::acceptor::wait_read, [this](boost::system::error_code error) {
        if (error == net::error::operation_aborted)
            return;
        const tcp protocol = acceptor.local_endpoint().protocol();
        for (int i = 0; i < kAcceptsPerWake; ++i) {
            const int fd = ::accept4(acceptor.native_handle(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED)
                    continue;
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    // Out of descriptors: try again shortly instead of spinning.
                    acceptRetry.expires_after(std::chrono::milliseconds(100));
                    acceptRetry.async_wait([this](boost::system::error_code retryError) {
                        if (!retryError)
                            acceptSome();
                    });
                    return;
                }
                break; // EAGAIN: nothing more waiting
            }
            if (connections.load() >= maxConnections) {
                ::close(fd);
                continue;
            }
            // Replies go out at once instead of waiting for the client's
            // acknowledgement of the previous segment.
            int yes = 1;
            ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
            auto strand = net::make_strand(context);
            tcp::socket socket(strand);
            boost::system::error_code assignError;
            socket.assign(protocol, fd, assignError);
            if (assignError) {
                ::close(fd);
                continue;
            }
            auto connection = std::make_shared<Connection>(*this, std::move(socket));
            net::post(strand, [connection] { connection->start(); });
        }
        acceptSome();
    });
}

CatalogueServer::CatalogueServer(const SongLibrary &library, ServerSettings settings)
    : m_engine(std::make_unique<Engine>(library, settings))
{
}

CatalogueServer::~CatalogueServer() = default;

int CatalogueServer::listen(const std::string &host, int port, std::string &error)
{
    boost::system::error_code code;
    net::ip::address address = net::ip::make_address(host, code);
    if (code) {
        tcp::resolver resolver(m_engine->context);
        const auto results = resolver.resolve(host, std::to_string(port), code);
        if (code || results.empty()) {
            error = "cannot resolve " + host;
            return -1;
        }
        address = results.begin()->endpoint().address();
    }
    const tcp::endpoint endpoint(address, static_cast<unsigned short>(port));
    tcp::acceptor &acceptor = m_engine->acceptor;
    acceptor.open(endpoint.protocol(), code);
    // Address reuse for quick restarts, but no port sharing: a second
    // server on a busy port must fail instead of splitting its requests.
    if (!code)
        acceptor.set_option(tcp::acceptor::reuse_address(true), code);
    if (!code)
        acceptor.bind(endpoint, code);
    if (!code)
        acceptor.listen(std::max(511, m_engine->settings.backlog), code);
    if (!code)
        acceptor.non_blocking(true, code);
    if (code) {
        error = code.message();
        acceptor.close(code);
        return -1;
    }
    const int bound = acceptor.local_endpoint().port();

    std::string shownHost = host;
    if (host == "0.0.0.0" || host.empty())
        shownHost = "127.0.0.1";
    else if (host == "::")
        shownHost = "[::1]";
    else if (host.find(':') != std::string::npos)
        shownHost = "[" + host + "]";
    m_baseAddress = "http://" + shownHost + ":" + std::to_string(bound);
    m_engine->service = std::make_unique<CatalogueService>(m_engine->library, m_baseAddress);
    m_engine->acceptSome();
    return bound;
}

void CatalogueServer::run()
{
    if (!m_engine->service)
        return;
    int threads = m_engine->settings.threads;
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i)
        helpers.emplace_back([this] { m_engine->context.run(); });
    m_engine->context.run();
    for (std::thread &helper : helpers)
        helper.join();
}

void CatalogueServer::stop()
{
    m_engine->context.stop();
}
