#include "views/word_wrap.h"

namespace linesift {
namespace {

bool IsBreakSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == 0x3000;
}

// Calls row(start) for every row after the first.
template <typename OnRow>
void Wrap(std::u16string_view text, double width, CharAdvances& advances, OnRow onRow) {
    const size_t n = text.size();
    if (n * advances.MaxAdvance() <= width) {
        return;
    }
    size_t rowStart = 0;
    size_t lastBreak = 0;  // the offset after the row's last white space; rowStart for none
    double x = 0;
    for (size_t i = 0; i < n; ++i) {
        char16_t c = text[i];
        double next = c == u'\t' ? advances.NextTabStop(x) : x + advances.Of(c);
        if (IsBreakSpace(c)) {
            x = next;
            lastBreak = i + 1;
            continue;
        }
        if (next > width && i > rowStart && !(c >= 0xDC00 && c <= 0xDFFF)) {
            size_t start = lastBreak > rowStart ? lastBreak : i;
            onRow(static_cast<uint32_t>(start));
            // Re-measure the carried-over characters from the new row's origin.
            x = 0;
            for (size_t k = start; k < i; ++k) {
                x = text[k] == u'\t' ? advances.NextTabStop(x) : x + advances.Of(text[k]);
            }
            next = x + advances.Of(c);
            rowStart = start;
            lastBreak = rowStart;
            if (next > width && i > rowStart) {
                onRow(static_cast<uint32_t>(i));
                rowStart = i;
                lastBreak = i;
                next = advances.Of(c);
            }
        }
        x = next;
    }
}

}  // namespace

void WrapLine(std::u16string_view text, double width, CharAdvances& advances,
              std::vector<uint32_t>& starts) {
    starts.clear();
    starts.push_back(0);
    Wrap(text, width, advances, [&starts](uint32_t start) { starts.push_back(start); });
}

uint32_t CountWrappedRows(std::u16string_view text, double width, CharAdvances& advances) {
    uint32_t rows = 1;
    Wrap(text, width, advances, [&rows](uint32_t) { ++rows; });
    return rows;
}

}  // namespace linesift
