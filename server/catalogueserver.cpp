#include "catalogueserver.h"

#include <httplib.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <optional>

namespace {

constexpr size_t kChunkSize = 64 * 1024;

struct ByteRange {
    uint64_t first = 0;
    uint64_t last = 0; // inclusive
};

enum class RangeOutcome { Whole, Partial, Unsatisfiable };

std::optional<uint64_t> parseNumber(std::string_view text)
{
    uint64_t value = 0;
    if (text.empty())
        return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// One "bytes=first-last", "bytes=first-" or "bytes=-suffix" range. Anything
// else (several ranges, other units, bad syntax) is ignored and the whole
// file is sent, which HTTP allows.
RangeOutcome parseRange(std::string_view header, uint64_t size, ByteRange &range)
{
    constexpr std::string_view kPrefix = "bytes=";
    if (header.substr(0, kPrefix.size()) != kPrefix)
        return RangeOutcome::Whole;
    const std::string_view rangeSet = header.substr(kPrefix.size());
    const size_t dash = rangeSet.find('-');
    if (dash == std::string_view::npos || rangeSet.find(',') != std::string_view::npos)
        return RangeOutcome::Whole;
    const std::string_view firstText = rangeSet.substr(0, dash);
    const std::string_view lastText = rangeSet.substr(dash + 1);
    if (firstText.empty()) {
        const auto suffix = parseNumber(lastText);
        if (!suffix)
            return RangeOutcome::Whole;
        if (*suffix == 0 || size == 0)
            return RangeOutcome::Unsatisfiable;
        range.first = size - std::min(*suffix, size);
        range.last = size - 1;
        return RangeOutcome::Partial;
    }
    const auto first = parseNumber(firstText);
    if (!first)
        return RangeOutcome::Whole;
    uint64_t last = size == 0 ? 0 : size - 1;
    if (!lastText.empty()) {
        const auto parsed = parseNumber(lastText);
        if (!parsed || *parsed < *first)
            return RangeOutcome::Whole;
        last = std::min(*parsed, last);
    }
    if (*first >= size)
        return RangeOutcome::Unsatisfiable;
    range.first = *first;
    range.last = last;
    return RangeOutcome::Partial;
}

void sendText(httplib::Response &response, int status, const std::string &body,
              const std::string &contentType)
{
    response.status = status;
    response.set_content(body, contentType);
}

void sendSongFile(const httplib::Request &request, httplib::Response &response, const Song &song)
{
    const int fd = ::open(song.file.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            ::close(fd);
        sendText(response, 404, "song file missing\n", "text/plain; charset=utf-8");
        return;
    }
    const uint64_t size = uint64_t(info.st_size);
    ByteRange range{0, size == 0 ? 0 : size - 1};
    uint64_t length = size;
    response.set_header("Accept-Ranges", "bytes");
    if (request.has_header("Range")) {
        switch (parseRange(request.get_header_value("Range"), size, range)) {
        case RangeOutcome::Whole:
            range = ByteRange{0, size == 0 ? 0 : size - 1};
            break;
        case RangeOutcome::Partial:
            length = range.last - range.first + 1;
            response.status = 206;
            response.set_header("Content-Range", "bytes " + std::to_string(range.first) + "-"
                                    + std::to_string(range.last) + "/" + std::to_string(size));
            break;
        case RangeOutcome::Unsatisfiable:
            ::close(fd);
            response.set_header("Content-Range", "bytes */" + std::to_string(size));
            sendText(response, 416, "range not satisfiable\n", "text/plain; charset=utf-8");
            return;
        }
    }
    if (response.status != 206)
        response.status = 200;
    if (length == 0) {
        // The library cannot stream "nothing" through a provider.
        ::close(fd);
        response.set_content(std::string(), song.contentType);
        return;
    }
    const uint64_t start = range.first;
    response.set_content_provider(
        size_t(length), song.contentType,
        [fd, start](size_t offset, size_t wanted, httplib::DataSink &sink) {
            char buffer[kChunkSize];
            const size_t count = std::min(wanted, sizeof buffer);
            const ssize_t got = ::pread(fd, buffer, count, off_t(start + offset));
            if (got <= 0)
                return false; // the file shrank or vanished under us
            return sink.write(buffer, size_t(got));
        },
        [fd](bool) { ::close(fd); });
}

} // namespace

CatalogueServer::CatalogueServer(const SongLibrary &library)
    : m_library(library)
    , m_http(std::make_unique<httplib::Server>())
{
    // Catalogue requests are GETs without a body.
    m_http->set_payload_max_length(64 * 1024);
    // Address reuse for quick restarts, but no port sharing: a second
    // server on a busy port must fail instead of splitting its requests.
    m_http->set_socket_options([](int socket) {
        int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    // Every request is answered here, before the library's own routing: the
    // catalogue reads the raw request target by its own rules (see
    // CatalogueService), and byte ranges are cut here rather than by the
    // library, which would also apply them to error replies.
    m_http->set_pre_routing_handler([this](const httplib::Request &request,
                                           httplib::Response &response) {
        const_cast<httplib::Request &>(request).ranges.clear();
        if (request.method != "GET" && request.method != "HEAD") {
            response.set_header("Allow", "GET, HEAD");
            sendText(response, 405, "method not allowed\n", "text/plain; charset=utf-8");
            return httplib::Server::HandlerResponse::Handled;
        }
        const CatalogueReply reply = m_service->answer(request.target);
        if (reply.song && reply.status == 200)
            sendSongFile(request, response, *reply.song);
        else
            sendText(response, reply.status, reply.body, reply.contentType);
        return httplib::Server::HandlerResponse::Handled;
    });
}

CatalogueServer::~CatalogueServer() = default;

int CatalogueServer::bind(const std::string &host, int port)
{
    int bound = -1;
    if (port == 0)
        bound = m_http->bind_to_any_port(host);
    else if (m_http->bind_to_port(host, port))
        bound = port;
    if (bound <= 0)
        return -1;

    std::string shownHost = host;
    if (host == "0.0.0.0" || host.empty())
        shownHost = "127.0.0.1";
    else if (host == "::")
        shownHost = "[::1]";
    else if (host.find(':') != std::string::npos)
        shownHost = "[" + host + "]";
    m_baseAddress = "http://" + shownHost + ":" + std::to_string(bound);
    m_service = std::make_unique<CatalogueService>(m_library, m_baseAddress);
    return bound;
}

bool CatalogueServer::run()
{
    if (!m_service)
        return false;
    return m_http->listen_after_bind();
}

void CatalogueServer::stop()
{
    m_http->stop();
}
