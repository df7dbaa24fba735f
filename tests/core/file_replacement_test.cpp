#include "platform/file_replacement.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_files.h"

namespace linesift {
namespace {

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

bool WriteAll(int fd, const std::string& bytes) {
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

class FileReplacementTest : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override { FileReplacement::UseNamedFileForTesting(GetParam()); }
    void TearDown() override { FileReplacement::UseNamedFileForTesting(false); }

    test::TempDir dir_;
};

TEST_P(FileReplacementTest, WritesThroughItsDescriptorWithTheOldPermissions) {
    std::string target = dir_.Write("target", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
    {
        FileReplacement replacement(target);
        ASSERT_TRUE(replacement.IsReady()) << replacement.Error();
        ASSERT_TRUE(WriteAll(replacement.Fd(), "new"));
        if (!GetParam()) {
            EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"target"})
                << "the file being written has no name";
        }
        EXPECT_EQ(test::ReadFileBytes(target), "old");
        ASSERT_TRUE(replacement.Commit()) << replacement.Error();
    }
    EXPECT_EQ(test::ReadFileBytes(target), "new");
    struct stat st;
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"target"});
}

TEST_P(FileReplacementTest, LeavesNothingBehindWithoutCommit) {
    std::string target = dir_.Write("target", "old");
    {
        FileReplacement replacement(target);
        ASSERT_TRUE(replacement.IsReady());
        ASSERT_TRUE(WriteAll(replacement.Fd(), "partial"));
    }
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    EXPECT_EQ(Names(dir_.Path()), std::vector<std::string>{"target"});
}

TEST_P(FileReplacementTest, RefusesANameSwappedWhileWriting) {
    if (!GetParam()) {
        GTEST_SKIP() << "an unnamed file has no name to swap";
    }
    std::string target = dir_.Write("target", "old");
    FileReplacement replacement(target);
    ASSERT_TRUE(replacement.IsReady());
    std::string temp;
    for (const std::string& name : Names(dir_.Path())) {
        if (name != "target") {
            temp = dir_.Path() + "/" + name;
        }
    }
    ASSERT_FALSE(temp.empty());
    ASSERT_EQ(::unlink(temp.c_str()), 0);
    dir_.Write(temp.substr(dir_.Path().size() + 1), "planted");
    ASSERT_TRUE(WriteAll(replacement.Fd(), "new"));
    EXPECT_FALSE(replacement.Commit());
    EXPECT_EQ(test::ReadFileBytes(target), "old");
}

INSTANTIATE_TEST_SUITE_P(Both, FileReplacementTest, ::testing::Values(false, true),
                         [](const auto& row) { return row.param ? "Named" : "Unnamed"; });

// A save killed part-way leaves no partial file behind.
TEST(FileReplacementKillTest, KilledWriterLeavesNothing) {
    test::TempDir dir;
    std::string target = dir.Write("target", "old");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        FileReplacement replacement(target);
        WriteAll(replacement.Fd(), "partial");
        ::_exit(replacement.IsReady() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"target"});
    EXPECT_EQ(test::ReadFileBytes(target), "old");
}

}  // namespace
}  // namespace linesift
