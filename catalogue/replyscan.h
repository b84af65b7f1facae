#pragma once

// Finding the markers of a reply on its raw bytes. Every marker the protocol
// looks for starts with "<", and "<" is never part of a multi-byte GBK or
// GB18030 character (trail bytes are 0x30-0x39, 0x40-0x7E and 0x80-0xFE), so
// a "<" in the bytes is a "<" in the text, and the bytes between two markers
// decode on their own to the text between them.

#include <QByteArrayView>

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wire::scan {

// Calls onAngle(i) for the position i of every "<" in data[0, size), in
// order, stopping at the first zero byte (which ends the reply's text).
// Returns the length of the text: the zero byte's position, or size.
// A marker compared at i against data[i, size) cannot match across the zero
// byte, since no marker holds one.
template <typename OnAngle>
qsizetype forEachAngle(const char *data, qsizetype size, OnAngle &&onAngle)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    // 64 bytes at a time: one bit per byte for "<" and for zero.
    const __m128i angle = _mm_set1_epi8('<');
    const __m128i zero = _mm_setzero_si128();
    for (; i + 64 <= size; i += 64) {
        quint64 angles = 0;
        quint64 zeros = 0;
        for (int k = 0; k < 4; ++k) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i + 16 * k));
            angles |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(v, angle)))) << (16 * k);
            zeros |= quint64(quint16(_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)))) << (16 * k);
        }
        if (zeros) {
            const int stop = std::countr_zero(zeros);
            angles &= (quint64(1) << stop) - 1;
            for (; angles; angles &= angles - 1)
                onAngle(i + std::countr_zero(angles));
            return i + stop;
        }
        for (; angles; angles &= angles - 1)
            onAngle(i + std::countr_zero(angles));
    }
#endif
    for (; i < size; ++i) {
        if (data[i] == '\0')
            return i;
        if (data[i] == '<')
            onAngle(i);
    }
    return size;
}

// Whether the marker stands at data[at, size), byte for byte.
inline bool markerAt(const char *data, qsizetype size, qsizetype at, QByteArrayView marker)
{
    return size - at >= marker.size() && std::memcmp(data + at, marker.data(), marker.size()) == 0;
}

// The same, with ASCII letters compared without regard to case.
inline bool markerAtFolded(const char *data, qsizetype size, qsizetype at, QByteArrayView marker)
{
    if (size - at < marker.size())
        return false;
    for (qsizetype k = 0; k < marker.size(); ++k) {
        const char m = marker[k];
        const char c = data[at + k];
        const bool letter = (m >= 'a' && m <= 'z') || (m >= 'A' && m <= 'Z');
        if (letter ? (c | 0x20) != (m | 0x20) : c != m)
            return false;
    }
    return true;
}

// Calls onName(begin, end) for every "<name>" element of a search or chart
// reply, in order, with the byte range of its text: up to the first
// "</name>" before the next "<name>", else up to that "<name>" or the end of
// the text. Tags match byte for byte (case-sensitively). Returns the number
// of elements.
template <typename OnName>
qsizetype forEachCatalogueName(QByteArrayView reply, OnName &&onName)
{
    static constexpr char open[] = "<name>";
    static constexpr char close[] = "</name>";
    const char *data = reply.data();
    const qsizetype size = reply.size();
    qsizetype begin = -1;
    qsizetype closeAt = -1;
    qsizetype count = 0;
    const qsizetype end = forEachAngle(data, size, [&](qsizetype i) {
        if (markerAt(data, size, i, open)) {
            if (begin >= 0) {
                onName(begin, closeAt >= 0 ? closeAt : i);
                ++count;
            }
            begin = i + qsizetype(sizeof open - 1);
            closeAt = -1;
        } else if (begin >= 0 && closeAt < 0 && markerAt(data, size, i, close)) {
            closeAt = i;
        }
    });
    if (begin >= 0) {
        onName(begin, closeAt >= 0 ? closeAt : end);
        ++count;
    }
    return count;
}

// Position of the first "$$" in name at or after from, or -1. "$" is never
// part of a multi-byte character either.
inline qsizetype indexOfDollars(QByteArrayView name, qsizetype from)
{
    const char *data = name.data();
    const qsizetype size = name.size();
    while (from + 1 < size) {
        const void *hit = std::memchr(data + from, '$', size_t(size - from - 1));
        if (!hit)
            return -1;
        const qsizetype at = static_cast<const char *>(hit) - data;
        if (data[at + 1] == '$')
            return at;
        from = at + 1;
    }
    return -1;
}

} // namespace wire::scan
