#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "views/char_advances.h"

namespace linesift {

// Remembers x positions along long lines every kStride characters, so the
// painter finds the first visible character of a line of megabytes without
// walking it from the start on every paint. Short lines are not remembered.
class LineGeometryCache {
  public:
    static constexpr size_t kStride = 1024;
    static constexpr size_t kMinLength = 16 * 1024;

    // The width of text drawn from x = 0 with tabs expanded.
    double Width(uint32_t line, std::u16string_view text, CharAdvances& advances);
    // An offset into text and its x, at or before the character at x.
    std::pair<size_t, double> Seek(uint32_t line, std::u16string_view text, double x,
                                   CharAdvances& advances);
    void Clear() { checkpoints_.clear(); }

  private:
    const std::vector<double>& Checkpoints(uint32_t line, std::u16string_view text,
                                           CharAdvances& advances);

    std::unordered_map<uint32_t, std::vector<double>> checkpoints_;
};

}  // namespace linesift
