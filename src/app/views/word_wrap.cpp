#include "views/word_wrap.h"

#include <algorithm>

namespace linesift {
namespace {

bool IsBreakSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}

}  // namespace

bool WrapOn(std::u16string_view text, double width, CharAdvances& advances, WrapCursor& cursor,
            size_t chars, uint32_t stopRows, const WrapRowSink& onRow) {
    const size_t n = text.size();
    if (cursor.next == 0 && n * advances.MaxAdvance() <= width) {
        cursor.next = n;
        return true;
    }
    const size_t end = n - std::min(cursor.next, n) > chars ? cursor.next + chars : n;
    size_t i = cursor.next;
    size_t rowStart = cursor.row_start;
    size_t lastBreak = cursor.last_break;
    double x = cursor.x;
    uint32_t rows = cursor.rows;
    auto beginRow = [&](size_t start) {
        ++rows;
        if (onRow) {
            onRow(rows - 1, start);
        }
    };
    for (; i < end && rows < stopRows; ++i) {
        char16_t c = text[i];
        double next = c == u'\t' ? advances.NextTabStop(x) : x + advances.Of(c);
        if (IsBreakSpace(c)) {
            x = next;
            lastBreak = i + 1;
            continue;
        }
        if (next > width && i > rowStart && !(c >= 0xDC00 && c <= 0xDFFF)) {
            size_t start = lastBreak > rowStart ? lastBreak : i;
            beginRow(start);
            // Re-measure the carried-over characters from the new row's origin.
            x = 0;
            for (size_t k = start; k < i; ++k) {
                x = text[k] == u'\t' ? advances.NextTabStop(x) : x + advances.Of(text[k]);
            }
            next = x + advances.Of(c);
            rowStart = start;
            lastBreak = rowStart;
            if (next > width && i > rowStart) {
                beginRow(i);
                rowStart = i;
                lastBreak = i;
                next = advances.Of(c);
            }
        }
        x = next;
    }
    cursor =
        WrapCursor{.next = i, .row_start = rowStart, .last_break = lastBreak, .x = x, .rows = rows};
    return i >= n;
}

void WrapLine(std::u16string_view text, double width, CharAdvances& advances,
              std::vector<uint32_t>& starts) {
    starts.clear();
    starts.push_back(0);
    WrapCursor cursor;
    WrapOn(text, width, advances, cursor, std::numeric_limits<size_t>::max(),
           std::numeric_limits<uint32_t>::max(),
           [&starts](uint32_t, size_t start) { starts.push_back(static_cast<uint32_t>(start)); });
}

uint32_t CountWrappedRows(std::u16string_view text, double width, CharAdvances& advances) {
    WrapCursor cursor;
    WrapOn(text, width, advances, cursor);
    return cursor.rows;
}

}  // namespace linesift
