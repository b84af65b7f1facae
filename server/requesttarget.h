#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The request target exactly as the client sent it, taken apart by the
// server's own rules rather than the HTTP library's: the music box appends
// GBK bytes raw or percent-encoded, and a '+' in a search text is a plus,
// not a space.

// Longest request target the server looks at; longer ones are refused.
inline constexpr size_t kMaxTargetLength = 4096;

struct RequestTarget {
    // Percent-decoded path segments after the leading '/': "/song/3/a.mp3"
    // gives {"song", "3", "a.mp3"}.
    std::vector<std::string> path;
    // Percent-decoded query parameters (raw bytes, GBK for the catalogue's
    // texts) in the order sent.
    std::vector<std::pair<std::string, std::string>> query;

    // Value of the first parameter with this name, or nullptr.
    const std::string *param(std::string_view name) const;
};

enum class TargetProblem {
    None,
    Malformed, // no leading '/', control bytes, a '%' without two hex digits
    TooLong,
};

struct ParsedTarget {
    TargetProblem problem = TargetProblem::None;
    RequestTarget target;
};

ParsedTarget parseRequestTarget(std::string_view raw);

// Decodes %XX escapes; nullopt when a '%' is not followed by two hex digits.
// Every other byte, '+' included, stands for itself.
std::optional<std::string> percentDecode(std::string_view text);

// Percent-encodes every byte except the unreserved characters of RFC 3986
// (A-Z a-z 0-9 - . _ ~), so the result can stand as a path segment.
std::string percentEncodeSegment(std::string_view bytes);

// Parses a decimal id of at most 9 digits (no sign, no spaces).
std::optional<int> parseId(std::string_view text);
