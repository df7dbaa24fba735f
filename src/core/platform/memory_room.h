#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace linesift {

// The memory this process may still fill before the kernel runs out of it
// and starts killing: the system's MemAvailable, lowered to the room left
// under the limit of the process's memory cgroup (v1 or v2) when it has one.
// Nothing when neither can be read. A work that needs more than this should
// be refused with a message, since an allocation that succeeds may still be
// killed when its pages are touched.
std::optional<uint64_t> AvailableMemoryBytes();
// The same read under other roots (for tests): procRoot stands for /proc and
// cgroupRoot for /sys/fs/cgroup.
std::optional<uint64_t> AvailableMemoryBytes(const std::string& procRoot,
                                             const std::string& cgroupRoot);

}  // namespace linesift
