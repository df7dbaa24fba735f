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
        if (shown.Contains(static_cast<LineNo>(line))) {
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
        if (shown.Contains(static_cast<LineNo>(line))) {
            return line;
        }
    }
    return matched.size();
}

}  // namespace

ShownStep FindMatchedShown(const FilteredLines& lines, ShownNo from, bool forward) {
    const bool inside = from >= 0 && from < lines.ShownCount();
    return FindMatchedFromLine(lines, inside ? lines.LineAt(from) : -1, forward);
}

ShownStep FindMatchedFromLine(const FilteredLines& lines, LineNo from, bool forward) {
    const size_t count = lines.Matched().size();
    if (count == 0 || lines.ShownCount() == 0 || static_cast<LineNo>(count) != lines.LineCount()) {
        return {};
    }
    const bool inside = from >= 0 && from < lines.LineCount();
    const size_t caret = inside ? static_cast<size_t>(from) : 0;
    size_t line = 0;
    bool wrapped = false;
    if (forward) {
        line = NextMatchedShown(lines, inside ? caret + 1 : 0);
        if (line == count && inside) {
            line = NextMatchedShown(lines, 0);
            wrapped = true;
        }
    } else {
        line = PreviousMatchedShown(lines, inside ? caret : count);
        if (line == count && inside) {
            line = PreviousMatchedShown(lines, count);
            wrapped = true;
        }
    }
    if (line == count) {
        return {};
    }
    return {lines.ShownOf(static_cast<LineNo>(line)), wrapped};
}

bool StartsShownGroup(const FilteredLines& lines, ShownNo shown) {
    if (!lines.HasContext() || shown <= 0 || shown >= lines.ShownCount()) {
        return false;
    }
    return lines.LineAt(shown - 1) + 1 != lines.LineAt(shown);
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
    if (overflow || number == 0 || number > static_cast<uint64_t>(lines.LineCount())) {
        target.status = LineTarget::kOutOfRange;
        return target;
    }
    target.status = LineTarget::kOk;
    target.line = static_cast<LineNo>(number - 1);
    target.shown = lines.ShownOf(target.line);
    return target;
}

}  // namespace linesift
