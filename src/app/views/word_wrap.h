#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <string_view>
#include <vector>

#include "views/char_advances.h"

namespace linesift {

// Breaks a line into rows that fit width: after white space where a row has
// some, anywhere when a word alone is too wide; every row holds at least
// one character, and white space may hang past the edge. starts receives
// the offset at which each row begins (the first is 0). An empty line has
// one row.
void WrapLine(std::u16string_view text, double width, CharAdvances& advances,
              std::vector<uint32_t>& starts);

// The number of rows WrapLine would give, without storing them.
uint32_t CountWrappedRows(std::u16string_view text, double width, CharAdvances& advances);

// Where wrapping a line stands after some of its characters: wrapping can
// stop there and go on later with the rows it would have given in one go,
// so a line of hundreds of megabytes is wrapped in bounded pieces.
struct WrapCursor {
    size_t next = 0;        // the next character to measure
    size_t row_start = 0;   // where the row being filled begins
    size_t last_break = 0;  // after the row's last white space; row_start for none
    double x = 0;           // where character next goes in the row
    uint32_t rows = 1;      // the rows begun, the one being filled included
};

// Called with the index and the start of each row begun.
using WrapRowSink = std::function<void(uint32_t row, size_t start)>;

// Wraps text on from cursor as WrapLine does, until the line ends (true),
// chars more characters were measured or stopRows rows were begun (false).
// onRow, when not empty, receives each row begun.
bool WrapOn(std::u16string_view text, double width, CharAdvances& advances, WrapCursor& cursor,
            size_t chars = std::numeric_limits<size_t>::max(),
            uint32_t stopRows = std::numeric_limits<uint32_t>::max(),
            const WrapRowSink& onRow = {});

}  // namespace linesift
