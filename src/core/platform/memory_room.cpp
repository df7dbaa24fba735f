#include "platform/memory_room.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <string_view>

namespace linesift {
namespace {

bool ReadWholeFile(const std::string& path, std::string& text) {
    std::ifstream in(path);
    if (!in) {
        return false;
    }
    std::ostringstream out;
    out << in.rdbuf();
    text = out.str();
    return true;
}

// The first number in text (after leading spaces), or nothing ("max" and
// the like).
std::optional<uint64_t> FirstNumber(std::string_view text) {
    size_t at = text.find_first_not_of(" \t");
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data() + at, text.data() + text.size(), value);
    if (error != std::errc() || end == text.data() + at) {
        return std::nullopt;
    }
    return value;
}

std::optional<uint64_t> NumberInFile(const std::string& path) {
    std::string text;
    return ReadWholeFile(path, text) ? FirstNumber(text) : std::nullopt;
}

std::optional<uint64_t> MemAvailable(const std::string& procRoot) {
    std::string text;
    if (!ReadWholeFile(procRoot + "/meminfo", text)) {
        return std::nullopt;
    }
    constexpr std::string_view kKey = "MemAvailable:";
    size_t at = text.find(kKey);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::optional<uint64_t> kib = FirstNumber(std::string_view(text).substr(at + kKey.size()));
    return kib ? std::optional<uint64_t>(*kib * 1024) : std::nullopt;
}

// The room under one cgroup's limit, from its limit and usage files.
std::optional<uint64_t> RoomUnder(const std::string& folder, const char* limitFile,
                                  const char* usageFile) {
    std::optional<uint64_t> limit = NumberInFile(folder + "/" + limitFile);
    std::optional<uint64_t> usage = NumberInFile(folder + "/" + usageFile);
    if (!limit || !usage) {
        return std::nullopt;  // no limit ("max"), or not readable
    }
    return *limit > *usage ? *limit - *usage : 0;
}

// The room left under the limits of the process's memory cgroup and of
// the groups above it, the smallest of them.
std::optional<uint64_t> CgroupRoom(const std::string& procRoot, const std::string& cgroupRoot) {
    std::string text;
    if (!ReadWholeFile(procRoot + "/self/cgroup", text)) {
        return std::nullopt;
    }
    std::optional<uint64_t> room;
    auto lower = [&room](std::optional<uint64_t> r) {
        if (r) {
            room = room ? std::min(*room, *r) : *r;
        }
    };
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        // "ID:CONTROLLERS:PATH"; v2 is "0::PATH", v1 names "memory".
        size_t first = line.find(':');
        size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) {
            continue;
        }
        std::string_view controllers(line.data() + first + 1, second - first - 1);
        std::string path = line.substr(second + 1);
        const bool v1 = controllers.find("memory") != std::string_view::npos;
        const bool v2 = controllers.empty() && line.compare(0, first, "0") == 0;
        if (!v1 && !v2) {
            continue;
        }
        const std::string base = v1 ? cgroupRoot + "/memory" : cgroupRoot;
        // The group and each group above it, up to the root.
        for (;;) {
            const std::string folder = base + (path == "/" ? std::string() : path);
            lower(v1 ? RoomUnder(folder, "memory.limit_in_bytes", "memory.usage_in_bytes")
                     : RoomUnder(folder, "memory.max", "memory.current"));
            size_t slash = path.rfind('/');
            if (path.empty() || path == "/" || slash == std::string::npos) {
                break;
            }
            path = slash == 0 ? std::string("/") : path.substr(0, slash);
        }
    }
    return room;
}

}  // namespace

std::optional<uint64_t> AvailableMemoryBytes(const std::string& procRoot,
                                             const std::string& cgroupRoot) {
    std::optional<uint64_t> system = MemAvailable(procRoot);
    std::optional<uint64_t> group = CgroupRoom(procRoot, cgroupRoot);
    if (system && group) {
        return std::min(*system, *group);
    }
    return system ? system : group;
}

std::optional<uint64_t> AvailableMemoryBytes() {
    return AvailableMemoryBytes("/proc", "/sys/fs/cgroup");
}

}  // namespace linesift
