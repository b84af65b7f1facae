#pragma once

#include "catalogueservice.h"
#include "httprequest.h"
#include "songlibrary.h"

#include <cstdint>
#include <string>
#include <string_view>

// A reply ready to send: the head, then either `body` or a slice of an open
// file. Owns the file descriptor.
class HttpAnswer {
public:
    HttpAnswer() = default;
    ~HttpAnswer();
    HttpAnswer(HttpAnswer &&other) noexcept;
    HttpAnswer &operator=(HttpAnswer &&other) noexcept;
    HttpAnswer(const HttpAnswer &) = delete;
    HttpAnswer &operator=(const HttpAnswer &) = delete;

    int status = 200;
    std::string head;        // status line and fields, ending in an empty line
    std::string body;
    int fileFd = -1;         // >= 0: the body is [fileOffset, fileOffset + fileLength) of this file
    uint64_t fileOffset = 0;
    uint64_t fileLength = 0;
    bool closeAfter = false; // close the connection once this is sent
};

// What a Range field asks of a representation of `size` bytes (RFC 9110,
// 14.2): Whole when the field is to be ignored (another unit, bad syntax,
// several ranges), Partial for one satisfiable range, Unsatisfiable when no
// range overlaps the representation.
struct RangeDecision {
    enum Kind { Whole, Partial, Unsatisfiable } kind = Whole;
    uint64_t first = 0;
    uint64_t last = 0; // inclusive
};
RangeDecision decideRange(std::string_view field, uint64_t size);

// The whole answer to one request head: methods, catalogue replies, song
// files with ranges. Song and lyrics files are opened through the library
// (never through a link, never outside its folder).
HttpAnswer answerRequest(const CatalogueService &service, const SongLibrary &library,
                         const RequestHead &request);

// The answer to a request that could not be read (400, 414, 431, 505); the
// connection is closed after it.
HttpAnswer answerUnreadable(int status);
