#include "document/line_scan.h"

#include <emmintrin.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstring>

namespace linesift {

size_t FindLineBreak8(const uint8_t* p, const uint8_t* end) {
    const uint8_t* start = p;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (end - p >= 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (mask != 0) {
            return static_cast<size_t>(p - start) +
                   static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
        p += 16;
    }
    while (p < end && *p != '\n' && *p != '\r') {
        ++p;
    }
    return static_cast<size_t>(p - start);
}

size_t FindLineBreak16(const uint8_t* p, size_t units, bool bigEndian) {
    const __m128i lf = _mm_set1_epi16(bigEndian ? 0x0A00 : 0x000A);
    const __m128i cr = _mm_set1_epi16(bigEndian ? 0x0D00 : 0x000D);
    size_t i = 0;
    for (; i + 8 <= units; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, lf), _mm_cmpeq_epi16(v, cr)));
        if (mask != 0) {
            return i + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask))) / 2;
        }
    }
    for (; i < units; ++i) {
        uint16_t u = bigEndian ? static_cast<uint16_t>(p[2 * i] << 8 | p[2 * i + 1])
                               : static_cast<uint16_t>(p[2 * i] | p[2 * i + 1] << 8);
        if (u == '\n' || u == '\r') {
            return i;
        }
    }
    return units;
}

size_t DecodeUtf8Into(const uint8_t* p, size_t n, char16_t* dest) {
    size_t i = 0;
    size_t o = 0;
    const __m128i zero = _mm_setzero_si128();
    while (i < n) {
        if (n - i >= 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            int mask = _mm_movemask_epi8(v);
            // Widening all 16 is safe: o <= i, so dest has room for 16 more.
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + o), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + o + 8), _mm_unpackhi_epi8(v, zero));
            if (mask == 0) {
                i += 16;
                o += 16;
                continue;
            }
            size_t ascii = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            i += ascii;
            o += ascii;
        } else if (p[i] < 0x80) {
            dest[o++] = p[i++];
            continue;
        }
        int32_t at = 0;
        int32_t len = static_cast<int32_t>(n - i < 8 ? n - i : 8);
        UChar32 c;
        U8_NEXT_OR_FFFD(p + i, at, len, c);
        i += static_cast<size_t>(at);
        if (c <= 0xFFFF) {
            dest[o++] = static_cast<char16_t>(c);
        } else {
            dest[o++] = U16_LEAD(c);
            dest[o++] = U16_TRAIL(c);
        }
    }
    return o;
}

void DecodeUtf16Into(const uint8_t* p, size_t units, bool bigEndian, char16_t* dest) {
    if (units == 0) {  // p and dest may be null then
        return;
    }
    if (!bigEndian) {
        std::memcpy(dest, p, units * 2);
        return;
    }
    size_t i = 0;
    for (; i + 8 <= units; i += 8) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * i));
        v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + i), v);
    }
    for (; i < units; ++i) {
        dest[i] = static_cast<char16_t>(p[2 * i] << 8 | p[2 * i + 1]);
    }
}

namespace {

uint16_t Unit16(const uint8_t* p, bool bigEndian) {
    return bigEndian ? static_cast<uint16_t>(p[0] << 8 | p[1])
                     : static_cast<uint16_t>(p[0] | p[1] << 8);
}

LineStep NextLine8(const uint8_t* data, uint64_t size, uint64_t limit, uint64_t& pos,
                   uint64_t& begin, uint64_t& end) {
    if (pos >= limit) {
        return LineStep::AtEnd;
    }
    begin = pos;
    end = pos + FindLineBreak8(data + pos, data + limit);
    if (end == limit) {
        pos = limit;
        return LineStep::Line;
    }
    pos = end + 1;
    if (data[end] == '\r' && pos < size && data[pos] == '\n') {
        ++pos;
    }
    return LineStep::Line;
}

LineStep NextLine16(const uint8_t* data, uint64_t size, uint64_t limit, bool be, uint64_t& pos,
                    uint64_t& begin, uint64_t& end) {
    if (pos >= limit) {
        return LineStep::AtEnd;
    }
    uint64_t units = (limit - pos) / 2;
    if (units == 0) {
        pos = limit;  // the lone byte is consumed by the failed read
        return LineStep::Stopped;
    }
    begin = pos;
    size_t k = FindLineBreak16(data + pos, units, be);
    end = pos + 2 * k;
    if (k == units) {
        pos = limit;
        return LineStep::Line;
    }
    pos = end + 2;
    if (Unit16(data + end, be) == '\r' && pos < size) {
        if (size - pos < 2) {
            pos = size;
        } else if (Unit16(data + pos, be) == '\n') {
            pos += 2;
        }
    }
    return LineStep::Line;
}

}  // namespace

LineStep NextLine(const uint8_t* data, uint64_t size, uint64_t limit, int32_t encoding,
                  uint64_t& pos, uint64_t& begin, uint64_t& end) {
    if (IsUtf16(encoding)) {
        return NextLine16(data, size, limit, encoding == Utf16Be, pos, begin, end);
    }
    return NextLine8(data, size, limit, pos, begin, end);
}

bool EndsWithLineBreakAt(const uint8_t* data, uint64_t size, int32_t encoding) {
    if (IsUtf16(encoding)) {
        if (size < 2) {
            return false;
        }
        uint16_t u = Unit16(data + size - 2, encoding == Utf16Be);
        return u == '\n' || u == '\r';
    }
    return size > 0 && (data[size - 1] == '\n' || data[size - 1] == '\r');
}

uint64_t FindSplitPoint(const uint8_t* data, uint64_t size, uint64_t dataStart, uint64_t from,
                        int32_t encoding) {
    if (IsUtf16(encoding)) {
        bool be = encoding == Utf16Be;
        uint64_t at = from < dataStart ? dataStart : from;
        at += (at - dataStart) % 2;
        while (at + 2 <= size) {
            uint64_t units = (size - at) / 2;
            uint64_t chunk = units < 65536 ? units : 65536;
            size_t k = FindLineBreak16(data + at, chunk, be);
            if (k < chunk) {
                if (Unit16(data + at + 2 * k, be) == '\n') {
                    return at + 2 * k + 2;
                }
                at += 2 * k + 2;
            } else {
                at += 2 * chunk;
            }
        }
        return 0;
    }
    const void* lf = std::memchr(data + from, '\n', size - from);
    return lf == nullptr ? 0 : static_cast<uint64_t>(static_cast<const uint8_t*>(lf) - data) + 1;
}

}  // namespace linesift
