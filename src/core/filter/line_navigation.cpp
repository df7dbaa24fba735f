#include "filter/line_navigation.h"

#include <limits>

namespace linesift {
namespace {

// The first line at or after from that is shown and matched, or the count.
size_t NextMatchedShown(const FilteredLines& lines, size_t from) {
    const LineBits& matched = lines.Matched();
    const ShownLines& shown = lines.Shown();
    for (size_t line = matched.NextSet(from); line < matched.size();
         line = matched.NextSet(line + 1)) {
        if (shown.Contains(line)) {
            return line;
        }
    }
    return matched.size();
}

// The last line before end that is shown and matched, or the count.
size_t PreviousMatchedShown(const FilteredLines& lines, size_t end) {
    const LineBits& matched = lines.Matched();
    const ShownLines& shown = lines.Shown();
    for (size_t line = matched.PreviousSet(end); line < matched.size();
         line = matched.PreviousSet(line)) {
        if (shown.Contains(line)) {
            return line;
        }
    }
    return matched.size();
}

}  // namespace

RowStep FindMatchedRow(const FilteredLines& lines, int64_t fromRow, bool forward) {
    const size_t count = lines.Matched().size();
    if (count == 0 || lines.ShownCount() == 0 || count != lines.LineCount()) {
        return {};
    }
    const bool from = fromRow >= 0 && static_cast<size_t>(fromRow) < lines.ShownCount();
    const size_t caret = from ? lines.LineAtRow(static_cast<size_t>(fromRow)) : 0;
    size_t line = 0;
    bool wrapped = false;
    if (forward) {
        line = NextMatchedShown(lines, from ? caret + 1 : 0);
        if (line == count && from) {
            line = NextMatchedShown(lines, 0);
            wrapped = true;
        }
    } else {
        line = PreviousMatchedShown(lines, from ? caret : count);
        if (line == count && from) {
            line = PreviousMatchedShown(lines, count);
            wrapped = true;
        }
    }
    if (line == count) {
        return {};
    }
    return {lines.RowOfLine(line), wrapped};
}

bool StartsShownGroup(const FilteredLines& lines, size_t row) {
    if (!lines.HasContext() || row == 0 || row >= lines.ShownCount()) {
        return false;
    }
    return lines.LineAtRow(row - 1) + 1 != lines.LineAtRow(row);
}

FilterResult ReshownResult(const FilteredLines& lines, const FilterRequest& request) {
    FilterResult result;
    result.matched = lines.Matched();
    CollectShownLines(request, result);
    return result;
}

LineTarget FindLineNumber(const FilteredLines& lines, std::u16string_view text) {
    LineTarget target;
    uint64_t number = 0;
    bool digits = false;
    bool overflow = false;
    size_t begin = text.find_first_not_of(u' ');
    size_t end = text.find_last_not_of(u' ');
    if (begin == std::u16string_view::npos) {
        return target;
    }
    for (char16_t c : text.substr(begin, end - begin + 1)) {
        if (c >= u'0' && c <= u'9') {
            digits = true;
            overflow |= number > (std::numeric_limits<uint64_t>::max() - 9) / 10;
            number = number * 10 + static_cast<uint64_t>(c - u'0');
        } else if (!digits || (c != u',' && c != u'.' && c != u'_' && c != u' ')) {
            return target;
        }
    }
    if (!digits) {
        return target;
    }
    if (overflow || number == 0 || number > lines.LineCount()) {
        target.status = LineTarget::kOutOfRange;
        return target;
    }
    target.status = LineTarget::kOk;
    target.line = static_cast<size_t>(number - 1);
    target.row = lines.RowOfLine(target.line);
    return target;
}

}  // namespace linesift
