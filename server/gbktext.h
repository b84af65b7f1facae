#pragma once

#include <string>
#include <string_view>

// The catalogue speaks GBK on the wire; the server keeps its texts in UTF-8.
// GB18030 is used for both directions: it is a lossless superset of GBK, so
// every GBK byte sequence decodes and every character can be sent back.
namespace gbk {

// Decodes GBK bytes into UTF-8. Invalid or truncated sequences become
// U+FFFD; a decode never fails.
std::string toUtf8(std::string_view gbkBytes);

// Encodes UTF-8 text as GBK (GB18030) bytes.
std::string fromUtf8(std::string_view utf8);

// True when the bytes are well-formed UTF-8 holding at least one non-ASCII
// character (used to tell UTF-8 lyrics files from GBK ones).
bool looksLikeUtf8(std::string_view bytes);

} // namespace gbk
