// Request-target parsing: any bytes give a clear outcome, and what is
// decoded survives the server's own encoding unchanged.

#include "requesttarget.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const ParsedTarget parsed = parseRequestTarget(raw);
    if (parsed.problem == TargetProblem::TooLong && raw.size() <= kMaxTargetLength)
        std::abort();
    if (parsed.problem == TargetProblem::None) {
        for (const std::string &segment : parsed.target.path) {
            if (segment.find('/') != std::string::npos && raw.find('%') == std::string_view::npos)
                std::abort(); // a slash can only come from an escape
            const auto back = percentDecode(percentEncodeSegment(segment));
            if (!back || *back != segment)
                std::abort();
        }
        for (const auto &[key, value] : parsed.target.query) {
            if (parsed.target.param(key) == nullptr)
                std::abort();
            (void)parseId(value);
        }
    }
    return 0;
}
