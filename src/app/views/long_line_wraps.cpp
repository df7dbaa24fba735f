#include "views/long_line_wraps.h"

#include <algorithm>
#include <limits>

namespace linesift {

uint32_t LongLineWraps::Measure(LineNo line, std::u16string_view text, double width,
                                CharAdvances& advances, size_t chars) {
    Wrapped& w = lines_[line];
    size_t left = chars;
    while (!w.done && left > 0) {
        if (w.frontier.next >= w.marks.size() * kMarkChars) {
            w.marks.push_back(w.frontier);
        }
        // Up to the next mark, so that marks stand kMarkChars apart.
        const size_t piece = std::min(left, w.marks.size() * kMarkChars - w.frontier.next);
        const size_t before = w.frontier.next;
        w.done = WrapOn(text, width, advances, w.frontier, piece);
        left -= std::min(left, std::max<size_t>(w.frontier.next - before, 1));
    }
    return w.done ? w.frontier.rows : 0;
}

double LongLineWraps::MeasuredShare(LineNo line, size_t length) const {
    auto it = lines_.find(line);
    if (it == lines_.end() || length == 0) {
        return 0;
    }
    return it->second.done ? 1.0 : static_cast<double>(it->second.frontier.next) / length;
}

std::pair<size_t, size_t> LongLineWraps::RowRange(LineNo line, std::u16string_view text,
                                                  double width, CharAdvances& advances,
                                                  uint32_t sub) {
    Wrapped& w = lines_[line];
    // Rows beyond the measured part: measured first (the list asks only for
    // rows of measured lines).
    while (!w.done && w.frontier.rows <= sub + 1) {
        Measure(line, text, width, advances, kMarkChars);
    }
    // The last place at or before the start of row sub: a mark, or where the
    // last call stopped (painting asks for the rows one after another).
    auto mark =
        std::upper_bound(w.marks.begin(), w.marks.end(), sub,
                         [](uint32_t row, const WrapCursor& c) { return row < c.rows - 1; });
    WrapCursor cursor = mark == w.marks.begin() ? WrapCursor{} : *(mark - 1);
    if (w.recent.rows - 1 <= sub && w.recent.next > cursor.next) {
        cursor = w.recent;
    }
    size_t start = cursor.rows - 1 == sub ? cursor.row_start : text.size();
    size_t end = text.size();
    WrapOn(text, width, advances, cursor, std::numeric_limits<size_t>::max(), sub + 2,
           [&](uint32_t row, size_t at) {
               if (row == sub) {
                   start = at;
               } else if (row == sub + 1) {
                   end = at;
               }
           });
    w.recent = cursor;
    return {start, std::max(start, end)};
}

}  // namespace linesift
