#include <bzlib.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <lzma.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zstd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "compress/cache_file.h"
#include "compress/compression.h"
#include "compress/decompress_to_file.h"
#include "compress/decompressing_reader.h"
#include "scoped_env.h"
#include "test_files.h"
#include "test_gzip.h"

namespace linesift {
namespace {

using test::ScopedEnv;
using test::TempDir;

// --- Archives made with the libraries themselves -------------------------

std::string Gzip(const std::string& text) {
    return test::Gzip(text);
}

std::string Bzip2(const std::string& text) {
    unsigned int size = static_cast<unsigned int>(text.size() + text.size() / 100 + 600);
    std::string out(size, '\0');
    if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()),
                                 static_cast<unsigned int>(text.size()), 1, 0, 0) != BZ_OK) {
        throw std::runtime_error("BZ2_bzBuffToBuffCompress");
    }
    out.resize(size);
    return out;
}

std::string Xz(const std::string& text) {
    std::string out(lzma_stream_buffer_bound(text.size()), '\0');
    size_t size = 0;
    if (lzma_easy_buffer_encode(
            1, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const uint8_t*>(text.data()),
            text.size(), reinterpret_cast<uint8_t*>(out.data()), &size, out.size()) != LZMA_OK) {
        throw std::runtime_error("lzma_easy_buffer_encode");
    }
    out.resize(size);
    return out;
}

std::string Zstd(const std::string& text) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
    std::string out(ZSTD_compressBound(text.size()), '\0');
    size_t size = ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size());
    ZSTD_freeCCtx(context);
    if (ZSTD_isError(size)) {
        throw std::runtime_error("ZSTD_compress2");
    }
    out.resize(size);
    return out;
}

struct Format {
    const char* name;
    Compression compression;
    std::string (*compress)(const std::string&);
};

const Format kFormats[] = {
    {"Gzip", Compression::Gzip, Gzip},
    {"Bzip2", Compression::Bzip2, Bzip2},
    {"Xz", Compression::Xz, Xz},
    {"Zstd", Compression::Zstd, Zstd},
};

// About 1.1 MB of lines that differ, so the archive spans many chunks.
const std::string& SampleText() {
    static const std::string text = [] {
        std::string t;
        uint32_t x = 12345;
        for (int i = 0; i < 20000; ++i) {
            x = x * 1103515245u + 12345u;
            t += "2024-05-01 12:00:" + std::to_string(i % 60) + " worker " +
                 std::to_string(x % 97) + " handled request " + std::to_string(x) + " in " +
                 std::to_string(x % 1000) + " ms\n";
        }
        return t;
    }();
    return text;
}

// SampleText compressed in format, made once per format.
const std::string& SampleArchive(const Format& format) {
    static std::map<Compression, std::string> archives;
    auto [it, added] = archives.try_emplace(format.compression);
    if (added) {
        it->second = format.compress(SampleText());
    }
    return it->second;
}

// --- Helpers ---------------------------------------------------------------

int CountOpenDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++n;
    }
    return n;
}

std::string ReadAllFrom(int fd, uint64_t size) {
    std::string text(size, '\0');
    size_t done = 0;
    while (done < size) {
        ssize_t got = ::pread(fd, text.data() + done, size - done, static_cast<off_t>(done));
        if (got <= 0) {
            break;
        }
        done += static_cast<size_t>(got);
    }
    text.resize(done);
    return text;
}

// Every test runs with its own cache folder and checks afterwards that no
// named file was left in it and that no descriptor leaked.
class CompressTest : public ::testing::TestWithParam<Format> {
  protected:
    void SetUp() override { open_before_ = CountOpenDescriptors(); }
    void TearDown() override {
        if (std::filesystem::exists(CacheFolder())) {
            EXPECT_TRUE(std::filesystem::is_empty(CacheFolder())) << "a named file was left";
        }
        EXPECT_EQ(CountOpenDescriptors(), open_before_) << "a descriptor leaked";
    }

    std::string CacheFolder() const { return cache_.Path() + "/Quellora/Linesift"; }

    DecompressResult DecompressBytes(const std::string& bytes, DecompressOptions options = {}) {
        const std::string path = input_.Write("input", bytes);
        int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        DecompressResult result = DecompressToCacheFile(fd, options);
        ::close(fd);
        if (result.text.IsValid()) {
            struct stat st {};
            EXPECT_EQ(::fstat(result.text.Get(), &st), 0);
            EXPECT_EQ(st.st_nlink, 0u) << "the text file has a name";
            EXPECT_EQ(static_cast<uint64_t>(st.st_size), result.text_size);
        }
        return result;
    }

    std::string TextOf(const DecompressResult& result) {
        return ReadAllFrom(result.text.Get(), result.text_size);
    }

    TempDir cache_;
    TempDir input_;
    ScopedEnv xdg_{"XDG_CACHE_HOME", cache_.Path()};
    int open_before_ = 0;
};

INSTANTIATE_TEST_SUITE_P(Formats, CompressTest, ::testing::ValuesIn(kFormats),
                         [](const auto& row) { return std::string(row.param.name); });

// --- Detection ---------------------------------------------------------------

TEST(DetectCompressionTest, RecognisesMagicBytesOnly) {
    struct Row {
        const char* name;
        std::string head;
        Compression expected;
    };
    const Row rows[] = {
        {"Empty", "", Compression::None},
        {"PlainText", "2024-05-01 started\n", Compression::None},
        {"Gzip", "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", Compression::Gzip},
        {"GzipUnknownMethod", "\x1f\x8b\x07\x00", Compression::None},
        {"GzipTooShort", "\x1f\x8b", Compression::None},
        {"Bzip2Block", std::string("BZh91AY&SY"), Compression::Bzip2},
        {"Bzip2Empty", std::string("BZh9\x17\x72\x45\x38\x50\x90", 10), Compression::Bzip2},
        {"Bzip2ShortHead", "BZh9", Compression::Bzip2},
        {"Bzip2BadBlockSize", "BZh0", Compression::None},
        {"TextStartingLikeBzip2", "BZh5 is a model number\n", Compression::None},
        {"Xz",
         std::string("\xfd"
                     "7zXZ\x00\x00\x04",
                     8),
         Compression::Xz},
        {"XzWithoutNul",
         "\xfd"
         "7zXZ",
         Compression::None},
        {"Zstd", "\x28\xb5\x2f\xfd\x24", Compression::Zstd},
        {"ZstdSkippableFrame", "\x5a\x2a\x4d\x18\x04\x00", Compression::Zstd},
        {"Utf8Bom", "\xef\xbb\xbfhello", Compression::None},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(
            DetectCompression(reinterpret_cast<const uint8_t*>(row.head.data()), row.head.size()),
            row.expected)
            << row.name;
    }
    EXPECT_EQ(DetectCompression(nullptr, 0), Compression::None);
}

TEST(GroupedNumberTest, GroupsThousands) {
    EXPECT_EQ(GroupedNumber(0), "0");
    EXPECT_EQ(GroupedNumber(999), "999");
    EXPECT_EQ(GroupedNumber(1000), "1,000");
    EXPECT_EQ(GroupedNumber(12345678), "12,345,678");
}

// --- Whole archives --------------------------------------------------------

TEST_P(CompressTest, RoundTripInSmallChunksWithProgress) {
    const std::string archive = SampleArchive(GetParam());
    std::vector<DecompressProgress> seen;
    std::string first_screen;
    DecompressOptions options;
    options.chunk_size = 64 * 1024;
    options.on_progress = [&](const DecompressProgress& p) {
        if (seen.empty()) {
            first_screen = ReadAllFrom(p.text_fd, p.text_written);
        }
        seen.push_back(p);
    };
    DecompressResult result = DecompressBytes(archive, options);
    EXPECT_TRUE(result.IsComplete()) << result.error_text;
    EXPECT_EQ(result.error_text, "");
    EXPECT_EQ(result.format, GetParam().compression);
    ASSERT_EQ(result.text_size, SampleText().size());
    EXPECT_TRUE(TextOf(result) == SampleText());

    // The first chunk is readable from the file while the rest is still coming.
    ASSERT_GT(seen.size(), 10u);
    EXPECT_EQ(first_screen, SampleText().substr(0, first_screen.size()));
    EXPECT_FALSE(first_screen.empty());
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i].compressed_read, seen[i - 1].compressed_read);
        EXPECT_GT(seen[i].text_written, seen[i - 1].text_written);
    }
    EXPECT_EQ(seen.back().compressed_total, archive.size());
    EXPECT_EQ(seen.back().compressed_read, archive.size());
    EXPECT_EQ(seen.back().text_written, SampleText().size());
}

TEST_P(CompressTest, EmptyArchiveGivesEmptyText) {
    DecompressResult result = DecompressBytes(GetParam().compress(""));
    EXPECT_TRUE(result.IsComplete()) << result.error_text;
    EXPECT_EQ(result.format, GetParam().compression);
    EXPECT_TRUE(result.text.IsValid());
    EXPECT_EQ(result.text_size, 0u);
}

TEST_P(CompressTest, ConcatenatedStreamsAndPaddingDecodeAsOneText) {
    const std::string first = "first member\n";
    const std::string second = SampleText().substr(0, 100000);
    const std::string archive = GetParam().compress(first) + GetParam().compress(second) +
                                GetParam().compress("") + std::string(4, '\0') +
                                GetParam().compress("last\n") + std::string(8, '\0');
    DecompressResult result = DecompressBytes(archive);
    EXPECT_TRUE(result.IsComplete()) << result.error_text;
    EXPECT_TRUE(TextOf(result) == first + second + "last\n");
}

TEST_P(CompressTest, TruncatedArchiveKeepsTheReadablePrefix) {
    const std::string archive = SampleArchive(GetParam());
    struct Row {
        const char* name;
        size_t keep;
    };
    const Row rows[] = {
        {"MagicOnly", 6},
        {"Half", archive.size() / 2},
        {"AllButLastByte", archive.size() - 1},
    };
    for (const Row& row : rows) {
        DecompressResult result = DecompressBytes(archive.substr(0, row.keep));
        EXPECT_EQ(result.error, DecompressError::Truncated) << row.name;
        EXPECT_EQ(result.format, GetParam().compression) << row.name;
        ASSERT_TRUE(result.text.IsValid()) << row.name;
        const std::string text = TextOf(result);
        EXPECT_TRUE(text == SampleText().substr(0, text.size())) << row.name;
        EXPECT_NE(result.error_text.find("ends early, after " + GroupedNumber(text.size()) +
                                         " bytes of text"),
                  std::string::npos)
            << row.name << ": " << result.error_text;
        if (row.keep == archive.size() / 2) {
            EXPECT_GT(text.size(), 0u) << row.name;
        }
    }
}

TEST_P(CompressTest, CorruptArchiveSaysWhereAndKeepsWhatWasRead) {
    std::string archive = SampleArchive(GetParam());
    for (size_t i = archive.size() / 2; i < archive.size() / 2 + 16; ++i) {
        archive[i] = static_cast<char>(archive[i] ^ 0x5a);
    }
    DecompressResult result = DecompressBytes(archive);
    EXPECT_EQ(result.error, DecompressError::Corrupt) << result.error_text;
    // What decoded before the damage was found is kept; a format checked only
    // at its end (gzip) may have decoded damaged text too.
    ASSERT_TRUE(result.text.IsValid());
    const std::string expected_start =
        std::string("The ") + CompressionName(GetParam().compression) + " data is corrupt after " +
        GroupedNumber(result.text_size) + " bytes of text";
    EXPECT_EQ(result.error_text.substr(0, expected_start.size()), expected_start)
        << result.error_text;
}

TEST_P(CompressTest, GarbageAfterACompleteStreamIsReportedWithAllTextKept) {
    DecompressResult result = DecompressBytes(GetParam().compress("whole\n") + "not compressed");
    EXPECT_EQ(result.error, DecompressError::Corrupt);
    EXPECT_EQ(TextOf(result), "whole\n");
}

TEST_P(CompressTest, CancelPartWayLeavesNoFile) {
    std::atomic<bool> cancel{false};
    int chunks = 0;
    DecompressOptions options;
    options.chunk_size = 64 * 1024;
    options.cancel = &cancel;
    options.on_progress = [&](const DecompressProgress&) {
        if (++chunks == 3) {
            cancel = true;
        }
    };
    DecompressResult result = DecompressBytes(SampleArchive(GetParam()), options);
    EXPECT_EQ(chunks, 3);
    EXPECT_EQ(result.error, DecompressError::Cancelled);
    EXPECT_FALSE(result.text.IsValid());
    EXPECT_EQ(result.text_size, 0u);
    EXPECT_NE(result.error_text.find("cancelled"), std::string::npos) << result.error_text;
}

TEST_P(CompressTest, StreamingReaderDecodesFromAPipe) {
    const std::string archive = GetParam().compress("one\n") + SampleArchive(GetParam());
    // A socket pair behaves as a pipe here, and send() can be told not to
    // raise SIGPIPE, so the writer ends even when the reader stops early.
    int pipe_fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pipe_fds), 0);
    std::thread writer([&] {
        // Small writes, so the reader often finds the pipe empty mid-stream.
        for (size_t at = 0; at < archive.size(); at += 1000) {
            size_t n = std::min<size_t>(1000, archive.size() - at);
            if (::send(pipe_fds[1], archive.data() + at, n, MSG_NOSIGNAL) !=
                static_cast<ssize_t>(n)) {
                break;
            }
        }
        ::shutdown(pipe_fds[1], SHUT_WR);
    });
    std::string text;
    {
        DecompressingReader reader(pipe_fds[0], 4096);
        uint8_t buffer[3000];
        while (size_t got = reader.Read(buffer, sizeof buffer)) {
            text.append(reinterpret_cast<char*>(buffer), got);
        }
        EXPECT_EQ(reader.Format(), GetParam().compression);
        EXPECT_EQ(reader.ErrorKind(), DecompressError::None) << reader.ErrorText();
        EXPECT_EQ(reader.BytesConsumed(), archive.size());
        EXPECT_EQ(reader.TextBytes(), text.size());
    }
    ::close(pipe_fds[0]);
    writer.join();
    ::close(pipe_fds[1]);
    EXPECT_TRUE(text == "one\n" + SampleText());
}

// --- Input that is not compressed, and failures ----------------------------

// Cases that do not vary by format, with the same checks afterwards.
class SingleRunTest : public CompressTest {};
INSTANTIATE_TEST_SUITE_P(Once, SingleRunTest, ::testing::Values(kFormats[0]),
                         [](const auto&) { return std::string("Once"); });

TEST_P(SingleRunTest, UncompressedInputIsCopiedUnchanged) {
    const std::string rows[] = {"", "x", "BZh5 is a model number\n", SampleText()};
    for (const std::string& input : rows) {
        DecompressResult result = DecompressBytes(input);
        EXPECT_TRUE(result.IsComplete()) << result.error_text;
        EXPECT_EQ(result.format, Compression::None);
        EXPECT_TRUE(TextOf(result) == input) << input.size();
    }
}

TEST_P(SingleRunTest, ZstdSkippableFramesAreSkipped) {
    // Magic 0x184D2A5A, a 3-byte payload, then an ordinary frame and another skippable one.
    const std::string skippable(
        "\x5a\x2a\x4d\x18\x03\x00\x00\x00"
        "abc",
        11);
    DecompressResult result = DecompressBytes(skippable + Zstd("text\n") + skippable);
    EXPECT_TRUE(result.IsComplete()) << result.error_text;
    EXPECT_EQ(result.format, Compression::Zstd);
    EXPECT_EQ(TextOf(result), "text\n");
}

TEST_P(SingleRunTest, UnreadableInputIsAReadError) {
    int fd = ::open(input_.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DecompressResult result = DecompressToCacheFile(fd);
    ::close(fd);
    EXPECT_EQ(result.error, DecompressError::ReadFailed);
    EXPECT_NE(result.error_text.find("Could not read"), std::string::npos) << result.error_text;
}

TEST_P(SingleRunTest, UnusableCacheFolderIsAWriteError) {
    const std::string file = input_.Write("a-file", "x");
    DecompressOptions options;
    options.folder = file + "/cache";
    DecompressResult result = DecompressBytes(Gzip("text"), options);
    EXPECT_EQ(result.error, DecompressError::WriteFailed);
    EXPECT_FALSE(result.text.IsValid());
    EXPECT_NE(result.error_text.find(file), std::string::npos) << result.error_text;
}

// A full disk (here a file size limit) stops the decoding with the whole
// chunks written before it, and says why: the writes run on a thread of
// their own while the next chunk is decoded.
TEST_P(SingleRunTest, AFullDiskKeepsTheChunksWrittenBeforeIt) {
    const std::string path = input_.Write("input", SampleArchive(GetParam()));
    constexpr size_t kChunk = 64 * 1024;
    struct sigaction ignore {};
    struct sigaction old_action {};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &old_action), 0);
    rlimit before{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit cap = before;
    cap.rlim_cur = 3 * kChunk + kChunk / 2;
    DecompressOptions options;
    options.chunk_size = kChunk;
    uint64_t last_written = 0;
    options.on_progress = [&](const DecompressProgress& p) { last_written = p.text_written; };
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cap), 0);
    DecompressResult result = DecompressToCacheFile(fd, options);
    ::setrlimit(RLIMIT_FSIZE, &before);
    ::sigaction(SIGXFSZ, &old_action, nullptr);
    ::close(fd);
    EXPECT_EQ(result.error, DecompressError::WriteFailed);
    EXPECT_NE(result.error_text.find("Could not store the text"), std::string::npos)
        << result.error_text;
    EXPECT_NE(result.error_text.find(std::strerror(EFBIG)), std::string::npos) << result.error_text;
    ASSERT_TRUE(result.text.IsValid());
    EXPECT_EQ(result.text_size, 3 * kChunk);
    EXPECT_EQ(last_written, result.text_size);
    struct stat st {};
    ASSERT_EQ(::fstat(result.text.Get(), &st), 0);
    EXPECT_EQ(static_cast<uint64_t>(st.st_size), result.text_size);
    EXPECT_TRUE(TextOf(result) == SampleText().substr(0, result.text_size));
}

TEST_P(SingleRunTest, CacheFolderIsCreatedPrivate) {
    DecompressResult result = DecompressBytes(Gzip("text"));
    EXPECT_TRUE(result.IsComplete());
    struct stat st {};
    ASSERT_EQ(::stat(CacheFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((cache_.Path() + "/Quellora").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(CacheFolderTest, FollowsXdgCacheHomeElseHome) {
    struct Row {
        const char* name;
        std::optional<std::string> xdg;
        std::optional<std::string> home;
        std::string expected;
    };
    const Row rows[] = {
        {"Xdg", "/x/cache", "/home/u", "/x/cache/Quellora/Linesift"},
        {"XdgTrailingSlash", "/x/cache/", "/home/u", "/x/cache/Quellora/Linesift"},
        {"RelativeXdgIgnored", "cache", "/home/u", "/home/u/.cache/Quellora/Linesift"},
        {"EmptyXdgIgnored", "", "/home/u", "/home/u/.cache/Quellora/Linesift"},
        {"NoXdg", std::nullopt, "/home/u", "/home/u/.cache/Quellora/Linesift"},
    };
    for (const Row& row : rows) {
        ScopedEnv xdg("XDG_CACHE_HOME", row.xdg);
        ScopedEnv home("HOME", row.home);
        EXPECT_EQ(GetCacheFolder(), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace linesift
