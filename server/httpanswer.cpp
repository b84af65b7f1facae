#include "httpanswer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

constexpr const char *kPlainText = "text/plain; charset=utf-8";

const char *reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 414: return "URI Too Long";
    case 416: return "Range Not Satisfiable";
    case 431: return "Request Header Fields Too Large";
    case 505: return "HTTP Version Not Supported";
    default: return "Internal Server Error";
    }
}

std::string headFor(int status, std::string_view contentType, uint64_t length, std::string_view extraFields,
                    bool closeAfter)
{
    std::string head;
    head.reserve(160 + extraFields.size());
    head += "HTTP/1.1 ";
    head += std::to_string(status);
    head += ' ';
    head += reasonPhrase(status);
    head += "\r\nContent-Type: ";
    head += contentType;
    head += "\r\nContent-Length: ";
    head += std::to_string(length);
    head += "\r\n";
    head += extraFields;
    if (closeAfter)
        head += "Connection: close\r\n";
    head += "\r\n";
    return head;
}

HttpAnswer textAnswer(int status, std::string_view contentType, std::string body, bool headOnly,
                      bool closeAfter, std::string_view extraFields = {})
{
    HttpAnswer answer;
    answer.status = status;
    answer.closeAfter = closeAfter;
    answer.head = headFor(status, contentType, body.size(), extraFields, closeAfter);
    if (!headOnly)
        answer.body = std::move(body);
    return answer;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// Decimal digits only; values past 2^64 - 1 saturate (a huge first
// position is still a valid, unsatisfiable range).
bool parsePosition(std::string_view text, uint64_t &value)
{
    if (text.empty())
        return false;
    value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return false;
        const uint64_t digit = uint64_t(c - '0');
        value = value > (UINT64_MAX - digit) / 10 ? UINT64_MAX : value * 10 + digit;
    }
    return true;
}

HttpAnswer songAnswer(const SongLibrary &library, const Song &song, const RequestHead &request,
                      bool headOnly)
{
    const int fd = library.openFile(song.relativePath);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0)
            ::close(fd);
        return textAnswer(404, kPlainText, "song file missing\n", headOnly, !request.keepAlive);
    }
    const uint64_t size = uint64_t(info.st_size);
    RangeDecision range;
    // Ranges apply to GET only; with If-Range the server cannot prove the
    // client's copy current (it sends no validators), so the whole file goes.
    if (request.range && request.method == "GET" && !request.ifRange)
        range = decideRange(*request.range, size);

    HttpAnswer answer;
    answer.closeAfter = !request.keepAlive;
    std::string fields = "Accept-Ranges: bytes\r\n";
    switch (range.kind) {
    case RangeDecision::Unsatisfiable:
        ::close(fd);
        fields += "Content-Range: bytes */" + std::to_string(size) + "\r\n";
        return textAnswer(416, kPlainText, "range not satisfiable\n", headOnly, !request.keepAlive, fields);
    case RangeDecision::Partial:
        answer.status = 206;
        answer.fileOffset = range.first;
        answer.fileLength = range.last - range.first + 1;
        fields += "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/"
            + std::to_string(size) + "\r\n";
        break;
    case RangeDecision::Whole:
        answer.status = 200;
        answer.fileLength = size;
        break;
    }
    answer.head = headFor(answer.status, song.contentType, answer.fileLength, fields, answer.closeAfter);
    if (headOnly || answer.fileLength == 0) {
        ::close(fd);
        answer.fileLength = 0;
    } else {
        answer.fileFd = fd;
    }
    return answer;
}

} // namespace

HttpAnswer::~HttpAnswer()
{
    if (fileFd >= 0)
        ::close(fileFd);
}

HttpAnswer::HttpAnswer(HttpAnswer &&other) noexcept
    : status(other.status)
    , head(std::move(other.head))
    , body(std::move(other.body))
    , fileFd(std::exchange(other.fileFd, -1))
    , fileOffset(other.fileOffset)
    , fileLength(other.fileLength)
    , closeAfter(other.closeAfter)
{
}

HttpAnswer &HttpAnswer::operator=(HttpAnswer &&other) noexcept
{
    if (this != &other) {
        if (fileFd >= 0)
            ::close(fileFd);
        status = other.status;
        head = std::move(other.head);
        body = std::move(other.body);
        fileFd = std::exchange(other.fileFd, -1);
        fileOffset = other.fileOffset;
        fileLength = other.fileLength;
        closeAfter = other.closeAfter;
    }
    return *this;
}

RangeDecision decideRange(std::string_view field, uint64_t size)
{
    RangeDecision whole;
    const size_t equals = field.find('=');
    if (equals == std::string_view::npos)
        return whole;
    // The unit is a case-insensitive token; only bytes are known.
    std::string unit(trimmed(field.substr(0, equals)));
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (unit != "bytes")
        return whole;

    // range-set = 1#range-spec; blanks around the commas (and, leniently,
    // after "=") are allowed, empty list elements are skipped.
    std::string_view rest = field.substr(equals + 1);
    int specs = 0;
    bool satisfiable = false;
    RangeDecision one;
    while (true) {
        const size_t comma = rest.find(',');
        const std::string_view spec = trimmed(rest.substr(0, comma));
        if (!spec.empty()) {
            ++specs;
            const size_t dash = spec.find('-');
            if (dash == std::string_view::npos)
                return whole;
            const std::string_view firstText = spec.substr(0, dash);
            const std::string_view lastText = spec.substr(dash + 1);
            uint64_t first = 0;
            uint64_t last = 0;
            if (firstText.empty()) { // suffix-range: the final N bytes
                if (!parsePosition(lastText, last))
                    return whole;
                if (last > 0 && size > 0) {
                    satisfiable = true;
                    one = {RangeDecision::Partial, size - std::min(last, size), size - 1};
                }
            } else {
                if (!parsePosition(firstText, first))
                    return whole;
                if (!lastText.empty() && (!parsePosition(lastText, last) || last < first))
                    return whole; // invalid: the field is ignored
                if (first < size) {
                    satisfiable = true;
                    one = {RangeDecision::Partial, first, lastText.empty() ? size - 1 : std::min(last, size - 1)};
                }
            }
        }
        if (comma == std::string_view::npos)
            break;
        rest.remove_prefix(comma + 1);
    }
    if (specs == 0)
        return whole;
    if (!satisfiable)
        return {RangeDecision::Unsatisfiable, 0, 0};
    // Several ranges get the whole file, which a server may always send.
    return specs == 1 ? one : whole;
}

HttpAnswer answerRequest(const CatalogueService &service, const SongLibrary &library, const RequestHead &request)
{
    const bool closeAfter = !request.keepAlive;
    const bool headOnly = request.method == "HEAD";
    if (request.method != "GET" && !headOnly)
        return textAnswer(405, kPlainText, "method not allowed\n", false, closeAfter, "Allow: GET, HEAD\r\n");

    CatalogueReply reply = service.answer(request.target);
    if (reply.song && reply.status == 200)
        return songAnswer(library, *reply.song, request, headOnly);
    return textAnswer(reply.status, reply.contentType, std::move(reply.body), headOnly, closeAfter);
}

HttpAnswer answerUnreadable(int status)
{
    const char *message = status == 414 ? "request target too long\n"
        : status == 431                 ? "request header too large\n"
        : status == 505                 ? "HTTP version not supported\n"
                                        : "malformed request\n";
    return textAnswer(status, kPlainText, message, false, true);
}
