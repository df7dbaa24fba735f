#include "platform/clock.h"

#include <chrono>

namespace linesift {

int64_t MonotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace linesift
