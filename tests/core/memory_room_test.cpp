#include "platform/memory_room.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "test_files.h"

namespace linesift {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// A fake /proc and /sys/fs/cgroup in a temporary folder.
class FakeSystem {
  public:
    FakeSystem() {
        std::filesystem::create_directories(dir_.Path() + "/proc/self");
        std::filesystem::create_directories(dir_.Path() + "/cgroup");
    }
    void Write(const std::string& path, const std::string& text) {
        std::filesystem::create_directories(
            std::filesystem::path(dir_.Path() + "/" + path).parent_path());
        dir_.Write(path, text);
    }
    std::optional<uint64_t> Available() const {
        return AvailableMemoryBytes(dir_.Path() + "/proc", dir_.Path() + "/cgroup");
    }

  private:
    test::TempDir dir_;
};

TEST(MemoryRoomTest, TheSmallestRoomOfTheSystemAndTheMemoryGroups) {
    const std::string meminfo = "MemTotal:  24000000 kB\nMemAvailable:    2097152 kB\n";
    {
        SCOPED_TRACE("no cgroup: the system's MemAvailable");
        FakeSystem system;
        system.Write("proc/meminfo", meminfo);
        EXPECT_EQ(system.Available(), 2048 * kMiB);
    }
    {
        SCOPED_TRACE("cgroup v1 with a limit below what the system has");
        FakeSystem system;
        system.Write("proc/meminfo", meminfo);
        system.Write("proc/self/cgroup", "9:pids:/\n4:memory:/box/job\n0::/\n");
        system.Write("cgroup/memory/box/job/memory.limit_in_bytes", "536870912\n");
        system.Write("cgroup/memory/box/job/memory.usage_in_bytes", "134217728\n");
        system.Write("cgroup/memory/box/memory.limit_in_bytes", "9223372036854771712\n");
        system.Write("cgroup/memory/box/memory.usage_in_bytes", "134217728\n");
        EXPECT_EQ(system.Available(), 384 * kMiB);
    }
    {
        SCOPED_TRACE("cgroup v2: the parent's limit is the tighter one; max is no limit");
        FakeSystem system;
        system.Write("proc/meminfo", meminfo);
        system.Write("proc/self/cgroup", "0::/user/app\n");
        system.Write("cgroup/user/app/memory.max", "max\n");
        system.Write("cgroup/user/app/memory.current", "104857600\n");
        system.Write("cgroup/user/memory.max", "1073741824\n");
        system.Write("cgroup/user/memory.current", "943718400\n");
        EXPECT_EQ(system.Available(), 124 * kMiB);
    }
    {
        SCOPED_TRACE("over its limit: no room");
        FakeSystem system;
        system.Write("proc/self/cgroup", "0::/full\n");
        system.Write("cgroup/full/memory.max", "1000\n");
        system.Write("cgroup/full/memory.current", "2000\n");
        EXPECT_EQ(system.Available(), 0u);
    }
    {
        SCOPED_TRACE("nothing readable");
        FakeSystem system;
        EXPECT_EQ(system.Available(), std::nullopt);
    }
}

TEST(MemoryRoomTest, ThisMachineReportsSomeRoom) {
    std::optional<uint64_t> room = AvailableMemoryBytes();
    ASSERT_TRUE(room.has_value());
    EXPECT_GT(*room, 0u);
}

}  // namespace
}  // namespace linesift
