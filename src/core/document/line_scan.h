#pragma once

#include <cstddef>
#include <cstdint>

#include "document/text_encoding.h"

namespace linesift {

// Splitting encoded bytes into lines and decoding them, in bulk. The results
// are those of reading one code unit at a time: LF, CR LF and a lone CR each
// end a line; data ending in CR or LF has one more, empty, line; a UTF-16
// byte left over at the end ends the data.

// Offset of the first CR or LF byte in [p, end), or end - p when none.
size_t FindLineBreak8(const uint8_t* p, const uint8_t* end);

// Index of the first CR or LF among units UTF-16 units at p, or units when none.
size_t FindLineBreak16(const uint8_t* p, size_t units, bool bigEndian);

// UTF-8 to UTF-16 into dest, which has room for n units. Invalid sequences
// become U+FFFD, a zero byte U+0000. Returns the units written.
size_t DecodeUtf8Into(const uint8_t* p, size_t n, char16_t* dest);

// Copies units UTF-16 units to dest, swapping bytes for big-endian.
void DecodeUtf16Into(const uint8_t* p, size_t units, bool bigEndian, char16_t* dest);

// What NextLine found.
enum class LineStep {
    Line,     // a line [begin, end) was read
    AtEnd,    // the position reached the end of the data: the end rule applies
    Stopped,  // nothing could be read (a lone trailing UTF-16 byte)
};

// Reads the line that starts at pos in data [0, size) with the given
// encoding, never past limit (a line-break boundary, or size). On Line, the
// line's bytes are [begin, end) and pos moves past its line break.
LineStep NextLine(const uint8_t* data, uint64_t size, uint64_t limit, int32_t encoding,
                  uint64_t& pos, uint64_t& begin, uint64_t& end);

// The end rule: true when data [0, size) ends with a CR or LF unit (for
// UTF-16, the last two bytes taken as one unit), so one empty line follows.
bool EndsWithLineBreakAt(const uint8_t* data, uint64_t size, int32_t encoding);

// The offset just past the first line break at or after from (aligned to
// units after dataStart for UTF-16), or 0 when there is none before size. Used
// to split data into parts that can be read independently.
uint64_t FindSplitPoint(const uint8_t* data, uint64_t size, uint64_t dataStart, uint64_t from,
                        int32_t encoding);

}  // namespace linesift
