#pragma once

#include <cstdint>

namespace linesift {

// Milliseconds on a monotonic clock, for measuring elapsed time.
int64_t MonotonicMs();

}  // namespace linesift
