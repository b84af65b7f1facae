#include "requesttarget.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> splitView(std::string_view text, char separator)
{
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (true) {
        const size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

} // namespace

const std::string *RequestTarget::param(std::string_view name) const
{
    for (const auto &[key, value] : query) {
        if (key == name)
            return &value;
    }
    return nullptr;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

std::string percentEncodeSegment(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')
            || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::optional<int> parseId(std::string_view text)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

ParsedTarget parseRequestTarget(std::string_view raw)
{
    ParsedTarget result;
    if (raw.size() > kMaxTargetLength) {
        result.problem = TargetProblem::TooLong;
        return result;
    }
    // Only the origin form "/path?query" is served. Control bytes never
    // belong in a target; bytes from 0x80 are raw GBK and welcome.
    if (raw.empty() || raw.front() != '/') {
        result.problem = TargetProblem::Malformed;
        return result;
    }
    for (const char ch : raw) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            result.problem = TargetProblem::Malformed;
            return result;
        }
    }

    const size_t questionMark = raw.find('?');
    const std::string_view path = raw.substr(1, questionMark == std::string_view::npos
                                                     ? std::string_view::npos
                                                     : questionMark - 1);
    for (const std::string_view segment : splitView(path, '/')) {
        auto decoded = percentDecode(segment);
        if (!decoded) {
            result.problem = TargetProblem::Malformed;
            return result;
        }
        result.target.path.push_back(std::move(*decoded));
    }

    if (questionMark != std::string_view::npos) {
        for (const std::string_view piece : splitView(raw.substr(questionMark + 1), '&')) {
            if (piece.empty())
                continue;
            const size_t equals = piece.find('=');
            auto key = percentDecode(piece.substr(0, equals));
            auto value = equals == std::string_view::npos
                ? std::optional<std::string>(std::string())
                : percentDecode(piece.substr(equals + 1));
            if (!key || !value) {
                result.problem = TargetProblem::Malformed;
                return result;
            }
            result.target.query.emplace_back(std::move(*key), std::move(*value));
        }
    }
    return result;
}
