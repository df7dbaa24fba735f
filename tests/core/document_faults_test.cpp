// Files that change under an open document, files that are not what their
// size says, streams, and memory running out: each is an error the caller
// sees, never a crash or a kill.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "document/text_document.h"
#include "filter/filtered_lines.h"
#include "test_files.h"

namespace linesift {
namespace {

// Lines of 100 bytes over several megabytes, so that truncating drops
// whole pages of the mapping.
std::string ManyLines(size_t count) {
    std::string bytes;
    for (size_t i = 0; i < count; ++i) {
        std::string line = "line " + std::to_string(i) + " ";
        line.resize(99, 'x');
        bytes += line + "\n";
    }
    return bytes;
}

class DocumentFaultsTest : public ::testing::Test {
  protected:
    void Load() {
        path_ = dir_.Write("log", ManyLines(kLines));
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path_))) << document_.LastError();
        ASSERT_EQ(document_.LineCount(), kLines + 1);
    }

    static constexpr size_t kLines = 40000;
    test::TempDir dir_;
    std::string path_;
    TextDocument document_;
};

// Each way of reading the text, after another program cut the file short:
// the read fails, the document says the file changed, nothing crashes.
TEST_F(DocumentFaultsTest, ReadsOfATruncatedFileFailAndSaySo) {
    struct Row {
        const char* name;
        std::function<bool(const TextDocument&, const std::string& dir)> read;  // true: it worked
    };
    const Row rows[] = {
        {"painting a line",
         [](const TextDocument& d, const std::string&) {
             std::u16string buffer;
             return !d.LineText(kLines - 1, buffer).empty();
         }},
        {"filtering",
         [](const TextDocument& d, const std::string&) {
             FilterResult result;
             return RunFilterPass(FilterRequest{.text = u"line"}, d, result) == FilterStatus::Done;
         }},
        {"filtering in chunks",
         [](const TextDocument& d, const std::string&) {
             FilterResult result;
             FilterStatus status = RunFilterPass(
                 FilterRequest{.text = u"line"}, d, result,
                 FilterPassOptions{
                     .cancel = nullptr, .on_chunk = {}, .first_chunk_lines = 64, .chunk_ms = 0});
             EXPECT_NE(status, FilterStatus::Cancelled);
             EXPECT_TRUE(status == FilterStatus::Done || result.shown.empty());
             return status == FilterStatus::Done;
         }},
        {"copying",
         [](const TextDocument& d, const std::string&) {
             FilteredLines lines;
             lines.Reset(d.LineCount());
             lines.SelectAllShown();
             std::u16string text;
             LineNo count = 0;
             return CollectSelectedText(d, lines, text, count) == ReadStatus::Ok;
         }},
        {"exporting",
         [](const TextDocument& d, const std::string& dir) {
             FilteredLines lines;
             lines.Reset(d.LineCount());
             std::string error;
             bool ok = ExportShownLines(d, lines, false, dir + "/export.txt", error);
             EXPECT_TRUE(ok || error.find("changed") != std::string::npos) << error;
             return ok;
         }},
        {"saving",
         [](const TextDocument& d, const std::string& dir) {
             return const_cast<TextDocument&>(d).SaveToFile(FromNativePath(dir + "/saved.txt"));
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Load();
        ASSERT_EQ(::truncate(path_.c_str(), 4096), 0);
        EXPECT_FALSE(row.read(document_, dir_.Path()));
        EXPECT_TRUE(document_.FileChanged());
        EXPECT_FALSE(document_.IsEmpty()) << "the document keeps its lines";
        struct stat st;
        EXPECT_NE(::stat((dir_.Path() + "/saved.txt").c_str(), &st), 0) << "nothing was saved";
        EXPECT_NE(::stat((dir_.Path() + "/export.txt").c_str(), &st), 0) << "nothing exported";
    }
    // Loading the file again is the way out.
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path_)));
    EXPECT_FALSE(document_.FileChanged());
    EXPECT_EQ(document_.LineCount(), 41u);
}

// A file truncated while a filter pass runs on another thread.
TEST_F(DocumentFaultsTest, TruncationDuringAPassEndsThePass) {
    Load();
    std::thread cut([this] { ::truncate(path_.c_str(), 0); });
    FilterResult result;
    FilterStatus status = RunFilterPass(FilterRequest{.text = u"zzz"}, document_, result);
    cut.join();
    FilterStatus again = RunFilterPass(FilterRequest{.text = u"zzz"}, document_, result);
    EXPECT_TRUE(status == FilterStatus::Done || status == FilterStatus::FileChanged);
    EXPECT_EQ(again, FilterStatus::FileChanged);
    EXPECT_TRUE(document_.CheckFile());
}

// A program that writes a new file and renames it over the old one leaves
// the loaded text readable; the document notices the change on disk.
TEST_F(DocumentFaultsTest, ReplacedFileKeepsTheLoadedText) {
    Load();
    std::string other = dir_.Write("other", "new\n");
    ASSERT_EQ(::rename(other.c_str(), path_.c_str()), 0);
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
    std::u16string buffer;
    EXPECT_EQ(document_.LineText(kLines - 1, buffer).substr(0, 10), u"line 39999");
    EXPECT_FALSE(document_.CheckFile());
    EXPECT_TRUE(document_.HasChangedOnDisk());
}

// Files of the system report a size of 0 but have content.
TEST_F(DocumentFaultsTest, FilesWithoutASizeAreReadToTheirEnd) {
    for (const char* path : {"/proc/self/maps", "/proc/cpuinfo"}) {
        SCOPED_TRACE(path);
        struct stat st;
        if (::stat(path, &st) != 0) {
            GTEST_SKIP() << "no " << path;
        }
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path))) << document_.LastError();
        EXPECT_GT(document_.LineCount(), 1u);
        std::u16string buffer;
        EXPECT_FALSE(document_.LineText(0, buffer).empty());
    }
}

// A pipe without a writer would block a load for ever, a device never ends:
// they are refused unless streams are asked for.
TEST_F(DocumentFaultsTest, StreamsAreRefusedUnlessAskedFor) {
    std::string fifo = dir_.Path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(document_.LoadFromFile(FromNativePath(path)));
        EXPECT_NE(document_.LastError().find("not a regular file"), std::string::npos);
        EXPECT_TRUE(document_.IsEmpty());
    }
    std::thread writer([&fifo] {
        int fd = ::open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(::write(fd, "a\nb", 3), 3);
        ::close(fd);
    });
    // The load waits for the writer and reads until it closes the pipe.
    bool loaded = document_.LoadFromFile(FromNativePath(fifo), LoadOptions{.allow_streams = true});
    writer.join();
    ASSERT_TRUE(loaded) << document_.LastError();
    std::u16string buffer;
    ASSERT_EQ(document_.LineCount(), 2u);
    EXPECT_EQ(document_.LineText(1, buffer), u"b");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define LINESIFT_ADDRESS_LIMIT_WORKS 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define LINESIFT_ADDRESS_LIMIT_WORKS 1
#endif
#endif

#ifdef LINESIFT_ADDRESS_LIMIT_WORKS
long AddressSpaceBytes() {
    long pages = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f != nullptr) {
        if (std::fscanf(f, "%ld", &pages) != 1) {
            pages = 0;
        }
        std::fclose(f);
    }
    return pages * ::sysconf(_SC_PAGESIZE);
}
#endif

// Memory that runs out while indexing is an error of the load: with the
// address space limited, an index that does not fit fails the load cleanly.
// The index (4 bytes a line) needs far more than the room left, so that
// address space reserved but unused by earlier tests cannot make it fit.
TEST_F(DocumentFaultsTest, RunningOutOfMemoryFailsTheLoad) {
#ifndef LINESIFT_ADDRESS_LIMIT_WORKS
    GTEST_SKIP() << "address sanitizer reserves the address space";
#else
    std::string path = dir_.Write("newlines", std::string(96 << 20, '\n'));
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_AS, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(AddressSpaceBytes()) + (160 << 20);
    ASSERT_EQ(::setrlimit(RLIMIT_AS, &small), 0);
    bool loaded = document_.LoadFromFile(FromNativePath(path));
    std::string error = document_.LastError();
    ::setrlimit(RLIMIT_AS, &saved);
    EXPECT_FALSE(loaded);
    EXPECT_NE(error.find("memory"), std::string::npos) << error;
    EXPECT_TRUE(document_.IsEmpty());
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(dir_.Write("small", "a\nb"))));
    EXPECT_EQ(document_.LineCount(), 2u);
#endif
}

}  // namespace
}  // namespace linesift
