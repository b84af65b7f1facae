// A small HTTP/1.1 load client for the catalogue server benchmark. Talks to
// 127.0.0.1 only, and every mode is bounded in time and request count.
//
//   loadclient rate PORT TARGET CONCURRENCY SECONDS keepalive|close
//       Each of CONCURRENCY threads sends GET TARGET in a loop (one kept-alive
//       connection, or a new connection per request) until SECONDS pass or
//       200,000 requests are done. Prints: requests/s, p50, p90, p99, max (ms).
//   loadclient download PORT TARGET TIMES
//       Fetches TARGET TIMES times over one connection; prints MB/s.
//   loadclient hostile PORT TARGET IDLE DRIP SECONDS
//       Opens IDLE connections that send nothing and DRIP connections that
//       send one header byte every two seconds, then times a fresh request
//       for TARGET every 100 ms for SECONDS. Prints the worst and median
//       answer times (ms) and how many answers failed.
//   loadclient fetch PORT TARGET
//       Writes the body of one reply to stdout.
//   loadclient freeport
//       Prints a TCP port of 127.0.0.1 that is free at the moment.
//   loadclient flood PORT MEGABYTES
//       Sends one request whose header is endless "X-Pad:" lines, up to
//       MEGABYTES; prints how far it got and the status line it received.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    timeval timeout{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int yes = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool sendAll(int fd, const std::string &bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

// Reads one reply (header and Content-Length body). Keeps bytes of a next
// reply in `pending`. Returns the status, or 0 on failure. `bodyBytes`
// receives the body length.
int readReply(int fd, std::string &pending, uint64_t &bodyBytes, bool *closing = nullptr)
{
    char buffer[65536];
    size_t headerEnd;
    while ((headerEnd = pending.find("\r\n\r\n")) == std::string::npos) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return 0;
        pending.append(buffer, size_t(n));
    }
    const int status = std::atoi(pending.c_str() + 9);
    uint64_t length = 0;
    std::string head = pending.substr(0, headerEnd);
    for (char &c : head)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    const size_t at = head.find("\r\ncontent-length:");
    if (at != std::string::npos)
        length = std::strtoull(head.c_str() + at + 17, nullptr, 10);
    if (closing)
        *closing = head.find("\r\nconnection: close") != std::string::npos;
    pending.erase(0, headerEnd + 4);
    uint64_t have = std::min<uint64_t>(pending.size(), length);
    pending.erase(0, size_t(have));
    while (have < length) {
        const ssize_t n = ::recv(fd, buffer, size_t(std::min<uint64_t>(sizeof buffer, length - have)), 0);
        if (n <= 0)
            return 0;
        have += uint64_t(n);
    }
    bodyBytes = length;
    return status;
}

std::string request(const std::string &target, int port, bool keepAlive)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port)
        + (keepAlive ? "\r\n\r\n" : "\r\nConnection: close\r\n\r\n");
}

double percentile(std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const size_t index = std::min(sorted.size() - 1, size_t(p / 100.0 * double(sorted.size())));
    return sorted[index];
}

void raiseFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int rate(int port, const std::string &target, int concurrency, double seconds, bool keepAlive)
{
    constexpr long kMaxRequests = 200000;
    std::atomic<long> issued{0};
    std::atomic<long> errors{0};
    std::vector<std::vector<double>> latencies{size_t(concurrency)};
    const std::string bytes = request(target, port, keepAlive);
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < concurrency; ++t) {
        threads.emplace_back([&, t] {
            int fd = -1;
            std::string pending;
            while (Clock::now() < deadline && issued.fetch_add(1) < kMaxRequests) {
                const auto begin = Clock::now();
                if (fd < 0) {
                    fd = connectTo(port);
                    pending.clear();
                }
                uint64_t body = 0;
                bool closing = false;
                const bool ok = fd >= 0 && sendAll(fd, bytes) && readReply(fd, pending, body, &closing) == 200;
                if (!ok) {
                    ++errors;
                    if (fd >= 0)
                        ::close(fd);
                    fd = -1;
                    continue;
                }
                latencies[size_t(t)].push_back(msSince(begin));
                if (!keepAlive || closing) {
                    ::close(fd);
                    fd = -1;
                }
            }
            if (fd >= 0)
                ::close(fd);
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    const double elapsed = msSince(start) / 1000.0;
    std::vector<double> all;
    for (const auto &list : latencies)
        all.insert(all.end(), list.begin(), list.end());
    std::sort(all.begin(), all.end());
    std::printf("%.0f %.3f %.3f %.3f %.3f %ld\n", double(all.size()) / elapsed, percentile(all, 50),
                percentile(all, 90), percentile(all, 99), all.empty() ? 0.0 : all.back(), errors.load());
    return 0;
}

int download(int port, const std::string &target, int times)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return 1;
    int sizeOption = 4 << 20;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &sizeOption, sizeof sizeOption);
    std::string pending;
    uint64_t total = 0;
    const auto start = Clock::now();
    for (int i = 0; i < times; ++i) {
        uint64_t body = 0;
        if (!sendAll(fd, request(target, port, true)) || readReply(fd, pending, body) != 200) {
            std::printf("0 failed\n");
            ::close(fd);
            return 1;
        }
        total += body;
    }
    const double elapsed = msSince(start) / 1000.0;
    std::printf("%.0f\n", double(total) / elapsed / 1e6);
    ::close(fd);
    return 0;
}

int hostile(int port, const std::string &target, int idle, int drip, double seconds)
{
    raiseFileLimit();
    std::vector<int> idleFds;
    std::vector<int> dripFds;
    for (int i = 0; i < idle; ++i) {
        const int fd = connectTo(port);
        if (fd >= 0)
            idleFds.push_back(fd);
    }
    for (int i = 0; i < drip; ++i) {
        const int fd = connectTo(port);
        if (fd >= 0)
            dripFds.push_back(fd);
    }
    const std::string dripBytes = "GET /x?op=3&list_cat=5 HTTP/1.1\r\nX-Slow: "
        + std::string(4096, 'a');
    size_t dripAt = 0;
    auto nextDrip = Clock::now();
    std::vector<double> times;
    int failures = 0;
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < deadline) {
        if (Clock::now() >= nextDrip) {
            for (int fd : dripFds)
                ::send(fd, dripBytes.data() + dripAt, 1, MSG_NOSIGNAL | MSG_DONTWAIT);
            dripAt = (dripAt + 1) % dripBytes.size();
            nextDrip += std::chrono::seconds(2);
        }
        const auto begin = Clock::now();
        const int fd = connectTo(port);
        std::string pending;
        uint64_t body = 0;
        const bool ok = fd >= 0 && sendAll(fd, request(target, port, false)) && readReply(fd, pending, body) == 200;
        if (fd >= 0)
            ::close(fd);
        if (ok)
            times.push_back(msSince(begin));
        else
            ++failures;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // Connections the server closed on its own, counted by a non-blocking peek.
    int closedByServer = 0;
    for (int fd : idleFds) {
        char c;
        if (::recv(fd, &c, 1, MSG_DONTWAIT | MSG_PEEK) == 0)
            ++closedByServer;
        ::close(fd);
    }
    for (int fd : dripFds)
        ::close(fd);
    std::sort(times.begin(), times.end());
    std::printf("opened=%zu+%zu answers=%zu failed=%d median_ms=%.1f worst_ms=%.1f idle_closed_by_server=%d\n",
                idleFds.size(), dripFds.size(), times.size(), failures, percentile(times, 50),
                times.empty() ? 0.0 : times.back(), closedByServer);
    return 0;
}

int flood(int port, int megabytes)
{
    const int fd = connectTo(port);
    if (fd < 0)
        return 1;
    timeval shortTimeout{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &shortTimeout, sizeof shortTimeout);
    std::string line = "X-Pad: " + std::string(57, 'p') + "\r\n"; // 66 bytes
    std::string chunk = "GET /x?op=3&list_cat=5 HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    uint64_t sent = 0;
    const uint64_t limit = uint64_t(megabytes) << 20;
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    std::string block;
    for (int i = 0; i < 1000; ++i)
        block += line;
    if (!sendAll(fd, chunk))
        return 1;
    while (sent < limit && Clock::now() < deadline) {
        const ssize_t n = ::send(fd, block.data(), block.size(), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += uint64_t(n);
    }
    char reply[256] = {};
    pollfd waiting{fd, POLLIN, 0};
    std::string status = "none";
    if (::poll(&waiting, 1, 2000) > 0) {
        const ssize_t n = ::recv(fd, reply, sizeof reply - 1, 0);
        if (n > 0)
            status = std::string(reply, strnlen(reply, sizeof reply)).substr(0, std::string(reply).find('\r'));
        else
            status = "closed";
    }
    std::printf("sent_bytes=%llu status=\"%s\"\n", (unsigned long long)sent, status.c_str());
    ::close(fd);
    return 0;
}

int fetch(int port, const std::string &target)
{
    const int fd = connectTo(port);
    if (fd < 0 || !sendAll(fd, request(target, port, false)))
        return 1;
    std::string all;
    char buffer[65536];
    ssize_t n;
    while ((n = ::recv(fd, buffer, sizeof buffer, 0)) > 0)
        all.append(buffer, size_t(n));
    ::close(fd);
    const size_t end = all.find("\r\n\r\n");
    if (end == std::string::npos || all.compare(0, 12, "HTTP/1.1 200") != 0)
        return 1;
    std::fwrite(all.data() + end + 4, 1, all.size() - end - 4, stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "rate" && argc == 7)
        return rate(std::atoi(argv[2]), argv[3], std::max(1, std::atoi(argv[4])),
                    std::min(30.0, std::atof(argv[5])), std::string(argv[6]) == "keepalive");
    if (mode == "download" && argc == 5)
        return download(std::atoi(argv[2]), argv[3], std::clamp(std::atoi(argv[4]), 1, 100));
    if (mode == "hostile" && argc == 7)
        return hostile(std::atoi(argv[2]), argv[3], std::clamp(std::atoi(argv[4]), 0, 5000),
                       std::clamp(std::atoi(argv[5]), 0, 1000), std::min(60.0, std::atof(argv[6])));
    if (mode == "freeport") {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0)
            return 1;
        std::printf("%d\n", ntohs(address.sin_port));
        ::close(fd);
        return 0;
    }
    if (mode == "fetch" && argc == 4)
        return fetch(std::atoi(argv[2]), argv[3]);
    if (mode == "flood" && argc == 4)
        return flood(std::atoi(argv[2]), std::clamp(std::atoi(argv[3]), 1, 1024));
    std::fprintf(stderr, "usage: see the comment at the top of loadclient.cpp\n");
    return 2;
}
