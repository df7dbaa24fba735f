#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "document/byte_stream.h"
#include "document/mapped_file.h"
#include "test_files.h"

namespace linesift {
namespace {

class MappedStreamTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
};

TEST_F(MappedStreamTest, EmptyFileOpensAndStaysEmpty) {
    std::string path = dir_.Write("empty", "");
    MappedFileStream stream;
    ASSERT_TRUE(stream.OpenExisting(path));
    EXPECT_EQ(stream.GetLength(), 0u);
    EXPECT_TRUE(stream.IsEof());
    EXPECT_TRUE(stream.Close());
    EXPECT_EQ(GetFileSizeByPath(path), 0u);
}

TEST_F(MappedStreamTest, OpeningNeverChangesTheFile) {
    std::string path = dir_.Write("ro.txt", "read only\n");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    {
        MappedFileStream stream;
        ASSERT_TRUE(stream.OpenExisting(path));
        char buf[4];
        EXPECT_EQ(stream.Read(buf, 1, 4), 4u);
    }
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(MappedStreamTest, ReadsEveryByteOnceAcrossChunkBoundaries) {
    std::string bytes(2 * kChunkSize + 7, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>(i * 7 % 251);
    }
    std::string path = dir_.Write("chunks", bytes);
    MappedFileStream stream;
    ASSERT_TRUE(stream.OpenExisting(path));
    ASSERT_TRUE(stream.SetPosition(kChunkSize - 3));
    for (size_t i = kChunkSize - 3; i < kChunkSize + 3; ++i) {
        char byte = 0;
        ASSERT_EQ(stream.Read(&byte, 1, 1), 1u) << i;
        ASSERT_EQ(byte, bytes[i]) << i;
    }
    char pair[2];
    ASSERT_TRUE(stream.SetPosition(2 * kChunkSize - 1));
    ASSERT_EQ(stream.Read(pair, 2, 1), 1u);
    EXPECT_EQ(pair[1], bytes[2 * kChunkSize]);
}

TEST_F(MappedStreamTest, ReadEdgeCases) {
    std::string path = dir_.Write("abc", "abc");
    MappedFileStream stream;
    ASSERT_TRUE(stream.OpenExisting(path));
    char buf[4];
    EXPECT_EQ(stream.Read(buf, 1, 0), 0u);
    EXPECT_EQ(stream.Read(nullptr, 1, 1), 0u);
    EXPECT_EQ(stream.GetPosition(), 0u);
    // A read of two-byte elements with one byte left moves what is there.
    ASSERT_TRUE(stream.SetPosition(2));
    EXPECT_EQ(stream.Read(buf, 2, 1), 0u);
    EXPECT_EQ(stream.GetPosition(), 3u);
    EXPECT_TRUE(stream.Seek(1, SeekOrigin::End));
    EXPECT_EQ(stream.GetPosition(), 4u);
    EXPECT_TRUE(stream.IsEof());
    EXPECT_TRUE(stream.IsPastEnd());
    EXPECT_FALSE(stream.Seek(-5, SeekOrigin::Current));
    EXPECT_FALSE(stream.OpenExisting(path));
    EXPECT_TRUE(stream.IsOpen());
}

TEST_F(MappedStreamTest, MissingFileAndFolderFailToOpen) {
    MappedFileStream stream;
    EXPECT_FALSE(stream.OpenExisting(dir_.Path() + "/missing"));
    EXPECT_FALSE(stream.OpenExisting(dir_.Path()));
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(MappedStreamTest, WritingGrowsInChunksAndCloseCutsToLength) {
    std::string path = dir_.Path() + "/out";
    {
        MappedFileStream stream;
        ASSERT_TRUE(stream.CreateNew(path, 4096));
        EXPECT_EQ(stream.Write("0123456789", 1, 10), 10u);
        EXPECT_EQ(GetFileSizeByPath(path), 4096u);
        std::string big(5000, 'x');
        EXPECT_EQ(stream.Write(big.data(), 1, big.size()), big.size());
        EXPECT_EQ(GetFileSizeByPath(path), kChunkSize);
        std::string fill(kChunkSize - 5010, 'y');
        EXPECT_EQ(stream.Write(fill.data(), 1, fill.size()), fill.size());
        EXPECT_EQ(GetFileSizeByPath(path), kChunkSize);
        EXPECT_TRUE(stream.SetPosition(10));
        EXPECT_TRUE(stream.Close());
    }
    EXPECT_EQ(GetFileSizeByPath(path), kChunkSize);
    {
        MappedFileStream stream;
        ASSERT_TRUE(stream.CreateNew(path, 4096));
        EXPECT_EQ(stream.Write("0123456789", 1, 10), 10u);
    }
    EXPECT_EQ(test::ReadFileBytes(path), "0123456789");
}

TEST_F(MappedStreamTest, ReadOfAFileTruncatedMeanwhileFailsWithoutCrashing) {
    std::string path = dir_.Write("shrinks", std::string(3 * kChunkSize, 'z'));
    MappedFileStream stream;
    ASSERT_TRUE(stream.OpenExisting(path));
    ASSERT_TRUE(TruncateFile(path, 0));
    char buf[16];
    ASSERT_TRUE(stream.SetPosition(2 * kChunkSize));
    EXPECT_EQ(stream.Read(buf, 1, sizeof buf), 0u);
    EXPECT_EQ(stream.GetPosition(), 2 * kChunkSize);
}

}  // namespace
}  // namespace linesift
