#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "views/font_model.h"

namespace linesift {

// Advance widths of a font per UTF-16 code unit, measured once each and
// cached, so measuring, wrapping and hit testing a line costs one table
// look-up per character. A surrogate pair's width belongs to its lead unit.
class CharAdvances {
  public:
    explicit CharAdvances(std::unique_ptr<FontModel> model);

    double Of(char16_t unit) {
        float& w = table_[unit];
        if (w < 0) {
            w = static_cast<float>(Measure(unit));
        }
        return w;
    }
    // The distance between tab stops: 8 average character widths.
    double TabWidth() const { return tab_width_; }
    // The x of the next tab stop after x (both relative to the tab origin).
    double NextTabStop(double x) const {
        return (static_cast<int64_t>(x / tab_width_) + 1) * tab_width_;
    }
    // The total advance of units without tabs.
    double Sum(const char16_t* units, size_t n);
    // The x after text drawn from x (relative to the tab origin), tabs expanded.
    double Advance(std::u16string_view text, double x);
    // The width of text drawn at the tab origin.
    double Width(std::u16string_view text) { return Advance(text, 0); }
    // The widest single character there is in the font: lines whose length
    // times this fits need no measuring.
    double MaxAdvance() const { return max_advance_; }
    double AverageCharWidth() const { return model_->AverageCharWidth(); }
    double Ascent() const { return model_->Ascent(); }
    double Height() const { return model_->Height(); }

  private:
    double Measure(char16_t unit) const;

    std::unique_ptr<FontModel> model_;
    double tab_width_;
    double max_advance_;
    std::unique_ptr<float[]> table_;
    float ascii_[128];  // the advances of ASCII, measured up front
};

// The advances of ListFont().
CharAdvances& ListFontAdvances();

}  // namespace linesift
