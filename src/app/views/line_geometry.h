#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "views/char_advances.h"

namespace linesift {

// Remembers x positions along long lines every kStride characters, measured
// only as far as painting has needed, so a line of megabytes is neither
// walked from its start on every paint nor measured whole before it can be
// seen. Short lines are not remembered.
class LineGeometryCache {
  public:
    static constexpr size_t kStride = 1024;
    static constexpr size_t kMinLength = 16 * 1024;

    // The width of text drawn from x = 0 with tabs expanded: exact for short
    // lines and for the measured part of long ones, whose rest is estimated
    // from the average character width until it is measured.
    double Width(uint32_t line, std::u16string_view text, CharAdvances& advances);
    // An offset into text and its x, at or before the character at x.
    std::pair<size_t, double> Seek(uint32_t line, std::u16string_view text, double x,
                                   CharAdvances& advances);
    void Clear() { lines_.clear(); }

  private:
    struct Measured {
        std::vector<double> points;  // x at offset k * kStride
        size_t end = 0;              // characters measured so far
        double end_x = 0;            // x after them
    };
    Measured& Entry(uint32_t line);
    // Measures on until x is passed or the line ends.
    static void MeasureTo(Measured& m, std::u16string_view text, double x, CharAdvances& advances);

    std::unordered_map<uint32_t, Measured> lines_;
};

}  // namespace linesift
