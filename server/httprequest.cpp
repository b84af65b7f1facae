#include "httprequest.h"

#include "requesttarget.h"

#include <boost/beast/core/error.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>

#include <cctype>
#include <iterator>

namespace http = boost::beast::http;

struct RequestReader::Parser {
    http::request_parser<http::empty_body> parser;
};

RequestReader::RequestReader(HttpLimits limits)
    : m_limits(limits)
{
}

RequestReader::~RequestReader() = default;

void RequestReader::append(const char *bytes, size_t size)
{
    m_input.append(bytes, size);
}

RequestReader::State RequestReader::next(RequestHead &head, int &status)
{
    if (m_input.empty())
        return State::NeedMore;
    if (!m_parser) {
        m_parser = std::make_unique<Parser>();
        m_parser->parser.header_limit(std::uint32_t(m_limits.maxHeaderBytes));
        m_parser->parser.eager(false);
    }
    http::request_parser<http::empty_body> &parser = m_parser->parser;

    // A request line longer than any target the catalogue accepts is
    // answered as such, whatever else is wrong with it.
    auto tooLong = [this] {
        const size_t lineEnd = m_input.find('\n');
        const size_t lineLength = lineEnd == std::string::npos ? m_input.size() : lineEnd;
        return lineLength > kMaxTargetLength + 32;
    };

    // A well-formed request line of another HTTP version ("HTTP/2.0").
    auto otherVersion = [this] {
        const size_t lineEnd = m_input.find("\r\n");
        if (lineEnd == std::string::npos || lineEnd < 9)
            return false;
        const std::string_view version = std::string_view(m_input).substr(lineEnd - 9, 9);
        return version.substr(0, 6) == " HTTP/" && std::isdigit(static_cast<unsigned char>(version[6]))
            && version[7] == '.' && std::isdigit(static_cast<unsigned char>(version[8])) && version[6] != '1';
    };

    boost::beast::error_code error;
    const size_t used = parser.put(boost::asio::buffer(m_input.data(), m_input.size()), error);
    if (error == http::error::need_more) {
        if (m_input.size() <= m_limits.maxHeaderBytes)
            return State::NeedMore;
        error = http::error::header_limit;
    }
    if (error) {
        m_parser.reset();
        if (tooLong())
            status = 414;
        else if (error == http::error::header_limit)
            status = 431;
        else if (error == http::error::bad_version && otherVersion())
            status = 505;
        else
            status = 400;
        return State::Failed;
    }
    if (!parser.is_header_done()) // cannot happen without need_more
        return State::NeedMore;
    m_input.erase(0, used);

    const auto &message = parser.get();
    const size_t fields = size_t(std::distance(message.begin(), message.end()));
    if (fields > m_limits.maxHeaderFields) {
        m_parser.reset();
        status = 431;
        return State::Failed;
    }
    if (message.version() / 10 != 1) {
        m_parser.reset();
        status = 505;
        return State::Failed;
    }
    head = RequestHead();
    head.method = std::string(message.method_string());
    head.target = std::string(message.target());
    const auto ranges = message.equal_range(http::field::range);
    if (std::distance(ranges.first, ranges.second) == 1)
        head.range = std::string(ranges.first->value());
    head.ifRange = message.find(http::field::if_range) != message.end();
    head.keepAlive = parser.keep_alive();
    head.bodyFollows = !parser.is_done();
    if (head.bodyFollows) {
        head.keepAlive = false;
        m_input.clear();
    }
    m_parser.reset();
    return State::Complete;
}
