#include "views/char_advances.h"

#include <algorithm>

#include "views/list_font.h"

namespace linesift {

CharAdvances::CharAdvances(const QFont& font)
    : metrics_(font),
      tab_width_(std::max(1.0, 8 * metrics_.averageCharWidth())),
      max_advance_(std::max(metrics_.maxWidth(), metrics_.averageCharWidth())),
      table_(new float[65536]) {
    std::fill(table_.get(), table_.get() + 65536, -1.0f);
}

double CharAdvances::Measure(char16_t unit) const {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return 0;  // a trail surrogate: its pair was measured with the lead
    }
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        // A typical character of the plane; the exact pair is not known here.
        const char16_t pair[2] = {unit, 0xDC00};
        return metrics_.horizontalAdvance(QString(reinterpret_cast<const QChar*>(pair), 2));
    }
    if (unit == u'\t') {
        return 0;
    }
    return metrics_.horizontalAdvance(QChar(unit));
}

double CharAdvances::Advance(std::u16string_view text, double x) {
    for (char16_t c : text) {
        x = c == u'\t' ? NextTabStop(x) : x + Of(c);
    }
    return x;
}

CharAdvances& ListFontAdvances() {
    static CharAdvances advances(ListFont());
    return advances;
}

}  // namespace linesift
