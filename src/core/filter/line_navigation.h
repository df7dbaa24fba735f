#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "document/line_numbers.h"
#include "filter/filtered_lines.h"

namespace linesift {

// Where Find Next or Find Previous lands: a place among the shown lines, or
// -1 when no shown line matches; wrapped when it went past the last shown
// line (or the first) to get there.
struct ShownStep {
    ShownNo shown = -1;
    bool wrapped = false;
};

// The next (forward) or previous shown line after place from whose line
// matched the query, wrapping at the ends; from -1 starts before the first
// shown line (forward) or after the last (backward). Reads the matched and shown bits a
// word at a time, so a match millions of lines away is found at once. With
// Show All this walks the highlighted lines; context lines are skipped.
ShownStep FindMatchedShown(const FilteredLines& lines, ShownNo from, bool forward);
// The same from a document line, shown or hidden: a caret line the filter
// hides since it was set goes on to the match after it (or before it), not
// from the first one. -1 starts before the first line or after the last.
ShownStep FindMatchedFromLine(const FilteredLines& lines, LineNo from, bool forward);

// Whether a separator goes above the shown line at place shown: the lines
// shown include context, and the line before it is not shown (place 0 has
// none).
bool StartsShownGroup(const FilteredLines& lines, ShownNo shown);

// What the last pass found, shown as request asks instead (another filter
// mode or context): the matched lines stay, so no line is evaluated again.
// Throws std::bad_alloc.
FilterResult ReshownResult(const FilteredLines& lines, const FilterRequest& request);

// A line number as typed into Go to Line.
struct LineTarget {
    enum Status { kOk, kNotANumber, kOutOfRange };
    Status status = kNotANumber;
    LineNo line = 0;     // the number typed minus 1, when kOk
    ShownNo shown = -1;  // its place among the shown lines, -1 when hidden
};

// Reads text as a 1-based line number of lines' document (surrounding
// spaces and digit group separators ',' '.' '_' and ' ' allowed).
LineTarget FindLineNumber(const FilteredLines& lines, std::u16string_view text);

}  // namespace linesift
