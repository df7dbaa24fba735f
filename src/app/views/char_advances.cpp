#include "views/char_advances.h"

#include <algorithm>

#include "views/list_font.h"

namespace linesift {

double QtFontModel::Advance(char16_t unit) const {
    if (unit >= 0xD800 && unit <= 0xDBFF) {
        // A typical character of the plane; the exact pair is not known here.
        const char16_t pair[2] = {unit, 0xDC00};
        return metrics_.horizontalAdvance(QString(reinterpret_cast<const QChar*>(pair), 2));
    }
    return metrics_.horizontalAdvance(QChar(unit));
}

CharAdvances::CharAdvances(std::unique_ptr<FontModel> model)
    : model_(std::move(model)),
      tab_width_(std::max(1.0, 8 * model_->AverageCharWidth())),
      max_advance_(std::max(model_->MaxCharWidth(), model_->AverageCharWidth())),
      table_(new float[65536]) {
    std::fill(table_.get(), table_.get() + 65536, -1.0f);
    for (char16_t c = 0; c < 0x80; ++c) {
        ascii_[c] = static_cast<float>(Of(c));
    }
}

double CharAdvances::Measure(char16_t unit) const {
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
        return 0;  // a trail surrogate: its pair was measured with the lead
    }
    if (unit == u'\t') {
        return 0;
    }
    return model_->Advance(unit);
}

double CharAdvances::Sum(const char16_t* units, size_t n) {
    // Four partial sums, so additions do not wait for each other.
    double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
    size_t i = 0;
    const float* ascii = ascii_;
    for (; i + 4 <= n; i += 4) {
        char16_t a = units[i], b = units[i + 1], c = units[i + 2], d = units[i + 3];
        if ((a | b | c | d) < 0x80) {
            s0 += ascii[a];
            s1 += ascii[b];
            s2 += ascii[c];
            s3 += ascii[d];
            continue;
        }
        s0 += Of(a);
        s1 += Of(b);
        s2 += Of(c);
        s3 += Of(d);
    }
    for (; i < n; ++i) {
        s0 += Of(units[i]);
    }
    return (s0 + s1) + (s2 + s3);
}

double CharAdvances::Advance(std::u16string_view text, double x) {
    size_t at = 0;
    while (at < text.size()) {
        size_t tab = text.find(u'\t', at);
        size_t runEnd = tab == std::u16string_view::npos ? text.size() : tab;
        x += Sum(text.data() + at, runEnd - at);
        if (tab == std::u16string_view::npos) {
            break;
        }
        x = NextTabStop(x);
        at = tab + 1;
    }
    return x;
}

CharAdvances& ListFontAdvances() {
    static CharAdvances advances(std::make_unique<QtFontModel>(ListFont()));
    return advances;
}

}  // namespace linesift
