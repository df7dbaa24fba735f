#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "document/line_numbers.h"
#include "views/char_advances.h"
#include "views/word_wrap.h"

namespace linesift {

// The wrapped rows of lines too long to be wrapped whole in one step of the
// window, or once for each of their rows painted: such a line is measured
// in pieces (Measure, across steps), remembering where wrapping stood every
// kMarkChars characters, and a row's piece is found by wrapping on from the
// nearest remembered place. About 40 bytes per 64 Ki characters. Everything
// holds for one width and one text per line: Clear() when either changes.
class LongLineWraps {
  public:
    // Shorter lines are wrapped whole: it takes well under a millisecond.
    static constexpr size_t kMinLength = 64 * 1024;
    static constexpr size_t kMarkChars = 64 * 1024;

    void Clear() { lines_.clear(); }
    // Forgets the lines from line on (their text changed).
    void ClearFrom(LineNo line) {
        std::erase_if(lines_, [line](const auto& entry) { return entry.first >= line; });
    }
    // Measures line, whose text is text, on by about chars characters at
    // width; its rows once it is measured to its end, 0 before.
    uint32_t Measure(LineNo line, std::u16string_view text, double width, CharAdvances& advances,
                     size_t chars);
    // The share of line measured so far, from 0 to 1.
    double MeasuredShare(LineNo line, size_t length) const;
    // Characters [start, end) of row sub of line at width (the line's end
    // for its last row, and beyond it for rows it does not have).
    std::pair<size_t, size_t> RowRange(LineNo line, std::u16string_view text, double width,
                                       CharAdvances& advances, uint32_t sub);

  private:
    struct Wrapped {
        std::vector<WrapCursor> marks;  // every kMarkChars characters, from 0
        WrapCursor frontier;            // how far the line is measured
        WrapCursor recent;              // where the last RowRange stopped
        bool done = false;
    };

    std::unordered_map<LineNo, Wrapped> lines_;
};

}  // namespace linesift
