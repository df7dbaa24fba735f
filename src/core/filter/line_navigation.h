#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "filter/filtered_lines.h"

namespace linesift {

// Where Find Next or Find Previous lands: a row, or -1 when no shown line
// matches; wrapped when it went past the last row (or the first) to get there.
struct RowStep {
    int64_t row = -1;
    bool wrapped = false;
};

// The next (forward) or previous shown row after fromRow whose line matched
// the query, wrapping at the ends; fromRow -1 starts before the first row
// (forward) or after the last (backward). Reads the matched and shown bits a
// word at a time, so a match millions of lines away is found at once. With
// Show All this walks the highlighted lines; context lines are skipped.
RowStep FindMatchedRow(const FilteredLines& lines, int64_t fromRow, bool forward);

// Whether a separator goes above row: the lines shown include context, and
// the line before row's line is not shown (row 0 has none).
bool StartsShownGroup(const FilteredLines& lines, size_t row);

// What the last pass found, shown as request asks instead (another filter
// mode or context): the matched lines stay, so no line is evaluated again.
// Throws std::bad_alloc.
FilterResult ReshownResult(const FilteredLines& lines, const FilterRequest& request);

// A line number as typed into Go to Line.
struct LineTarget {
    enum Status { kOk, kNotANumber, kOutOfRange };
    Status status = kNotANumber;
    size_t line = 0;   // the line's index (the number typed minus 1) when kOk
    int64_t row = -1;  // its row, or -1 when the filter hides it
};

// Reads text as a 1-based line number of lines' document (surrounding
// spaces and digit group separators ',' '.' '_' and ' ' allowed).
LineTarget FindLineNumber(const FilteredLines& lines, std::u16string_view text);

}  // namespace linesift
