#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "views/char_advances.h"

namespace linesift {

// Breaks a line into rows that fit width: after white space where a row has
// some, anywhere when a word alone is too wide; every row holds at least
// one character, and white space may hang past the edge. starts receives
// the offset at which each row begins (the first is 0). An empty line has
// one row.
void WrapLine(std::u16string_view text, double width, CharAdvances& advances,
              std::vector<uint32_t>& starts);

// The number of rows WrapLine would give, without storing them.
uint32_t CountWrappedRows(std::u16string_view text, double width, CharAdvances& advances);

}  // namespace linesift
