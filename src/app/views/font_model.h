#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <unordered_map>
#include <utility>

namespace linesift {

// What measuring and painting row text needs to know about a font. The
// program measures its real font; tests use a fixed-advance model, so the
// arithmetic of wrapping, tab stops and positions can be checked without
// knowing which fonts a machine has.
class FontModel {
  public:
    virtual ~FontModel() = default;
    // The advance of one UTF-16 unit other than a tab or a trail surrogate;
    // a lead surrogate stands for a typical character of its plane.
    virtual double Advance(char16_t unit) const = 0;
    virtual double AverageCharWidth() const = 0;
    // The widest character of the font.
    virtual double MaxCharWidth() const = 0;
    virtual double Ascent() const = 0;
    virtual double Height() const = 0;
};

// The model of a real font, measured through Qt.
class QtFontModel : public FontModel {
  public:
    explicit QtFontModel(const QFont& font) : metrics_(font) {}
    double Advance(char16_t unit) const override;
    double AverageCharWidth() const override { return metrics_.averageCharWidth(); }
    double MaxCharWidth() const override { return metrics_.maxWidth(); }
    double Ascent() const override { return metrics_.ascent(); }
    double Height() const override { return metrics_.height(); }

  private:
    QFontMetricsF metrics_;
};

// Every character advances by the same width, except those given their own.
class FixedFontModel : public FontModel {
  public:
    explicit FixedFontModel(double advance, std::unordered_map<char16_t, double> exceptions = {})
        : advance_(advance), exceptions_(std::move(exceptions)) {}
    double Advance(char16_t unit) const override {
        auto it = exceptions_.find(unit);
        return it == exceptions_.end() ? advance_ : it->second;
    }
    double AverageCharWidth() const override { return advance_; }
    double MaxCharWidth() const override {
        double widest = advance_;
        for (const auto& [unit, w] : exceptions_) {
            widest = std::max(widest, w);
        }
        return widest;
    }
    double Ascent() const override { return 11; }
    double Height() const override { return 14; }

  private:
    double advance_;
    std::unordered_map<char16_t, double> exceptions_;
};

}  // namespace linesift
