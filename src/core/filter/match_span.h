#pragma once

#include <cstdint>

namespace linesift {

// A range of a line to highlight: UTF-16 offsets into the line's full text,
// start < end.
struct MatchSpan {
    int32_t start = 0;
    int32_t end = 0;

    bool operator==(const MatchSpan&) const = default;
};

}  // namespace linesift
