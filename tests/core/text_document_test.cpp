#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <sys/stat.h>
#include <unistd.h>
#include <atomic>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "document/clipboard_text.h"
#include "document/text_document.h"
#include "document/text_file_stream.h"
#include "document_lines.h"
#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::LinesOf;

class FakeClipboard : public ClipboardBackend {
  public:
    explicit FakeClipboard(std::u16string* text) : text_(text) {}
    bool IsTextAvailable() override { return text_ != nullptr; }
    bool GetText(std::u16string& out) override {
        if (text_ == nullptr) {
            return false;
        }
        out = *text_;
        return true;
    }
    bool SetText(std::u16string_view text) override {
        if (text_ == nullptr) {
            return false;
        }
        *text_ = text;
        return true;
    }

  private:
    std::u16string* text_;
};

class TextDocumentTest : public ::testing::Test {
  protected:
    std::u16string Path(const std::string& name) const {
        return FromNativePath(dir_.Path() + "/" + name);
    }
    test::TempDir dir_;
    TextDocument document_;
};

TEST_F(TextDocumentTest, LoadsLinesWithEveryKindOfBreak) {
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<std::u16string> lines;
    };
    const std::vector<Row> rows = {
        {"empty file", "", {}},
        {"lf", "a\nb", {u"a", u"b"}},
        {"trailing lf gives a final empty line", "a\nb\n", {u"a", u"b", u""}},
        {"crlf crlf", "a\r\n\r\nb", {u"a", u"", u"b"}},
        {"lone cr", "a\rb", {u"a", u"b"}},
        {"cr cr lf", "\r\r\n", {u"", u"", u""}},
        {"utf16le with bom",
         std::string("\xFF\xFE"
                     "a\0",
                     4),
         {u"a"}},
        {"bom only", "\xFF\xFE", {}},
        {"single byte", "a", {u"a"}},
        {"utf8 zero byte kept",
         std::string("a\0b\nc", 5) + std::string(70000, 'x'),
         {std::u16string(u"a\0b", 3), u"c" + std::u16string(70000, u'x')}},
        {"utf16 without bom is ansi", std::string("h\0i\0", 4), {std::u16string(u"h\0i\0", 4)}},
        {"ansi", "caf\xE9 x", {u"caf\u00E9 x"}},
        {"a lead byte at the very end still reads as utf8", "caf\xE9", {u"caf\uFFFD"}},
    };
    for (const Row& row : rows) {
        std::string path = dir_.Write("f", row.bytes);
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path))) << row.name;
        EXPECT_EQ(LinesOf(document_), row.lines) << row.name;
        EXPECT_FALSE(document_.IsModified()) << row.name;
        EXPECT_EQ(document_.GetPath(), FromNativePath(path)) << row.name;
    }
}

// The index takes 4 bytes a line; the text stays in the file.
TEST_F(TextDocumentTest, IndexTakesFourBytesALine) {
    const size_t lines = 3 * LineIndex::kBlockLines + 5;
    std::string path = dir_.Write("f", std::string(lines - 1, '\n'));
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path)));
    ASSERT_EQ(document_.LineCount(), lines);
    EXPECT_LE(document_.IndexBytes(), 4 * (lines + LineIndex::kBlockLines) + 1024);
}

// A window shows a large file's first lines while the rest is indexed:
// during the load, other threads read the lines indexed so far, each whole.
TEST_F(TextDocumentTest, LinesIndexedSoFarAreReadableDuringTheLoad) {
    // Over 32 MiB on one thread, so the load reports progress part-way.
    constexpr size_t kLines = 340000;
    auto text = [](size_t i) {
        std::string line = "line " + std::to_string(i) + " ";
        line.resize(99, 'x');
        return line;
    };
    std::string bytes;
    for (size_t i = 0; i < kLines; ++i) {
        bytes += text(i) + "\n";
    }
    const std::string path = dir_.Write("big.log", bytes);
    bytes = std::string();
    SetParallelLoadThresholdForTesting(UINT64_MAX);
    TextDocument loading;
    // Whether lines [0, n) read as the file's and, while the load waits,
    // line n not at all.
    auto prefixReads = [&](size_t n, bool waiting) {
        std::u16string buffer;
        for (size_t i : {size_t{0}, n / 2, n - 1}) {
            if (i < n && loading.IndexedLineText(i, buffer) != FromNativePath(text(i))) {
                return false;
            }
        }
        return !waiting || loading.IndexedLineText(n, buffer).empty();
    };
    std::vector<size_t> seen;
    bool readsRight = true;
    loading.SetProgressHandler([&](uint64_t, uint64_t) {
        std::thread reader([&] {
            size_t n = loading.IndexedLines();
            seen.push_back(n);
            readsRight = readsRight && prefixReads(n, true);
        });
        reader.join();
    });
    std::atomic<bool> done{false};
    bool loaded = false;
    std::thread loader([&] {
        loaded = loading.LoadFromFile(FromNativePath(path));
        done = true;
    });
    bool pollsRight = true;
    while (!done) {
        size_t n = loading.IndexedLines();
        pollsRight = pollsRight && n <= kLines + 1 && (n > kLines || prefixReads(n, false));
    }
    loader.join();
    SetParallelLoadThresholdForTesting(0);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(pollsRight);
    EXPECT_TRUE(readsRight);
    ASSERT_FALSE(seen.empty());
    EXPECT_GT(seen[0], 0u);
    EXPECT_LT(seen[0], kLines);
    EXPECT_EQ(loading.IndexedLines(), loading.LineCount());
    EXPECT_EQ(loading.LineCount(), kLines + 1);
    loading.Reset();
    EXPECT_EQ(loading.IndexedLines(), 0u);
}

TEST_F(TextDocumentTest, FailedLoadLeavesTheDocumentEmptyAndUnmodified) {
    std::string path = dir_.Write("f", "a\nb\n");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path)));
    EXPECT_FALSE(document_.LoadFromFile(Path("missing")));
    EXPECT_TRUE(document_.IsEmpty());
    EXPECT_FALSE(document_.IsModified());
    EXPECT_TRUE(document_.GetPath().empty());
    EXPECT_FALSE(document_.LastError().empty());
    EXPECT_FALSE(document_.LoadFromFile(FromNativePath(dir_.Path())));
}

// A document loaded on another thread moves into the window's: its lines
// stay readable through the move (whether mapped or held in memory, where
// they point into the moved buffer), and the moved-from one is empty.
TEST_F(TextDocumentTest, MovedDocumentKeepsItsLinesAndLeavesAnEmptyOne) {
    const std::vector<std::u16string> expected = {u"first", u"", u"third \u00e9"};
    struct Row {
        const char* name;
        std::function<void(TextDocument&)> load;
    };
    const std::string path = dir_.Write("moved.txt", "first\n\nthird \xC3\xA9");
    const Row rows[] = {
        {"mapped file",
         [&](TextDocument& d) { ASSERT_TRUE(d.LoadFromFile(FromNativePath(path))); }},
        {"lines in memory", [&](TextDocument& d) { d.LoadFromLines(expected); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto source = std::make_unique<TextDocument>();
        row.load(*source);
        const std::u16string sourcePath = source->GetPath();
        TextDocument moved(std::move(*source));
        EXPECT_TRUE(source->IsEmpty());
        EXPECT_TRUE(source->GetPath().empty());
        EXPECT_TRUE(LinesOf(*source).empty());
        source.reset();
        EXPECT_EQ(LinesOf(moved), expected);
        // Into a document that holds another file, which it lets go.
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(dir_.Write("other.txt", "x\ny\nz\n"))));
        document_ = std::move(moved);
        EXPECT_TRUE(moved.IsEmpty());
        EXPECT_EQ(LinesOf(document_), expected);
        EXPECT_EQ(document_.GetPath(), sourcePath);
        EXPECT_FALSE(document_.FileChanged());
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"third"}, document_, result),
                  FilterStatus::Done);
        EXPECT_EQ(result.shown.ToVector(), std::vector<size_t>{2});
    }
}

TEST_F(TextDocumentTest, LoadsReadOnlyAndUnchangedFiles) {
    std::string path = dir_.Write("ro", "one\ntwo");
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    struct stat before;
    ASSERT_EQ(::stat(path.c_str(), &before), 0);
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path)));
    EXPECT_EQ(document_.LineCount(), 2u);
    struct stat after;
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
    EXPECT_EQ(before.st_size, after.st_size);
}

TEST_F(TextDocumentTest, ClipboardImportSplitsAtLineFeedsAndDropsCarriageReturns) {
    std::u16string text = u"a\rb\r\nc\n\nd\n";
    ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(&text));
    ASSERT_TRUE(document_.LoadFromClipboard());
    EXPECT_EQ(LinesOf(document_), (std::vector<std::u16string>{u"ab", u"c", u"", u"d"}));
    EXPECT_EQ(document_.GetPath(), u"Clipboard");
    EXPECT_TRUE(document_.IsModified());
    EXPECT_TRUE(document_.IsImported());
    EXPECT_EQ(document_.GetTitle(), u"Clipboard");

    text.clear();
    ASSERT_TRUE(document_.LoadFromClipboard());
    EXPECT_TRUE(document_.IsEmpty());
    EXPECT_TRUE(document_.IsModified());

    ClipboardText::Instance().SetBackend(std::make_unique<FakeClipboard>(nullptr));
    EXPECT_FALSE(document_.LoadFromClipboard());
    EXPECT_FALSE(document_.IsModified());
    ClipboardText::Instance().SetBackend(nullptr);
}

TEST_F(TextDocumentTest, SaveWritesCrLfAndNoFinalBreakForAnEmptyLastLine) {
    struct Row {
        std::string loaded;
        std::string saved;
    };
    const std::vector<Row> rows = {
        {"a\nb\n", "a\r\nb\r\n"},
        {"a\nb", "a\r\nb"},
        {"\xEF\xBB\xBF"
         "caf\xC3\xA9\n",
         "caf\xC3\xA9\r\n"},
        {std::string("\xFF\xFE"
                     "z\0\r\0\n\0",
                     8),
         "z\r\n"},
        {std::string("a\0b\n", 4) + std::string(65536, 'x'),
         std::string("a\0b\r\n", 5) + std::string(65536, 'x')},
    };
    for (const Row& row : rows) {
        std::string in = dir_.Write("in", row.loaded);
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
        ASSERT_TRUE(document_.SaveToFile(Path("out.txt")));
        EXPECT_EQ(test::ReadFileBytes(dir_.Path() + "/out.txt"), row.saved);
        EXPECT_EQ(document_.GetPath(), Path("out.txt"));
        EXPECT_FALSE(document_.IsModified());
        EXPECT_FALSE(document_.HasChangedOnDisk());
    }
}

// A file size limit makes the disk "full" after a few bytes.
TEST_F(TextDocumentTest, FailedSaveLeavesTheOldFileAndNoTemporaryFile) {
    std::string in = dir_.Write("in", std::string(100000, 'n') + "\n");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
    std::string target = dir_.Write("keep.txt", "old");
    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 50000;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved_ok = document_.SaveToFile(FromNativePath(target));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(test::ReadFileBytes(target), "old");
    EXPECT_EQ(document_.GetPath(), FromNativePath(in));
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 2u) << "a temporary file was left behind";
}

// Save and Export stop when their cancel flag is raised: the file they
// were to replace stays as it was, and nothing is left beside it.
TEST_F(TextDocumentTest, CancelledWriteLeavesTheOldFileAndNoTemporaryFile) {
    struct Row {
        const char* name;
        std::function<bool(const std::string&, const std::atomic<bool>*)> write;
        std::string written;  // once not cancelled
    };
    std::string in = dir_.Write("in", "one\ntwo\nthree");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
    FilteredLines lines;
    lines.Reset(static_cast<LineNo>(document_.LineCount()));
    const std::vector<Row> rows = {
        {"save",
         [&](const std::string& target, const std::atomic<bool>* cancel) {
             return document_.SaveToFile(FromNativePath(target), cancel);
         },
         "one\r\ntwo\r\nthree"},
        {"export",
         [&](const std::string& target, const std::atomic<bool>* cancel) {
             std::string error;
             return ExportShownLines(document_, lines, false, target, error, cancel);
         },
         "one\r\ntwo\r\nthree\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string target = dir_.Write("keep.txt", "old");
        std::atomic<bool> cancel{true};
        EXPECT_FALSE(row.write(target, &cancel));
        EXPECT_EQ(test::ReadFileBytes(target), "old");
        EXPECT_EQ(document_.GetPath(), FromNativePath(in));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()),
                                std::filesystem::directory_iterator()),
                  2)
            << "a temporary file was left behind";
        cancel = false;
        EXPECT_TRUE(row.write(target, &cancel));
        EXPECT_EQ(test::ReadFileBytes(target), row.written);
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
        lines.Reset(static_cast<LineNo>(document_.LineCount()));
    }
}

TEST_F(TextDocumentTest, SaveOverAFolderFailsAndKeepsIt) {
    std::string in = dir_.Write("in", "x");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
    std::string folder = dir_.Path() + "/folder";
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    EXPECT_FALSE(document_.SaveToFile(FromNativePath(folder)));
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(TextDocumentTest, SaveKeepsASymbolicLinkAndItsTargetsMode) {
    std::string target = dir_.Write("real.txt", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    std::string link = dir_.Path() + "/link.txt";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    std::string in = dir_.Write("in", "new");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(in)));
    ASSERT_TRUE(document_.SaveToFile(FromNativePath(link)));
    struct stat st;
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(test::ReadFileBytes(target), "new");
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(TextDocumentTest, SaveWithoutAnyPathFails) {
    EXPECT_FALSE(document_.SaveToFile(u""));
}

TEST_F(TextDocumentTest, TitleIsTheFileName) {
    EXPECT_EQ(document_.GetTitle(), u"Untitled");
    document_.SetPath(u" /var/log/syslog.1 ");
    EXPECT_EQ(document_.GetTitle(), u"syslog.1");
    document_.SetPath(u"C:notes.txt");
    EXPECT_EQ(document_.GetTitle(), u"C:notes.txt");
}

TEST_F(TextDocumentTest, NoticesAChangeOnDisk) {
    std::string path = dir_.Write("watch", "a\n");
    ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path)));
    EXPECT_FALSE(document_.HasChangedOnDisk());
    struct timespec times[2] = {{0, UTIME_OMIT}, {12345, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_TRUE(document_.HasChangedOnDisk());
}

TEST(TextFileStreamTest, DetectsEncodings) {
    test::TempDir dir;
    struct Row {
        std::string bytes;
        int32_t encoding;
    };
    const std::vector<Row> rows = {
        {"", -1},
        {"a", Ansi},
        {"\xFF\xFE", Utf16Le},
        {"\xFE\xFF", Utf16Be},
        {"\xEF\xBB\xBF", Utf8Bom},
        {"plain", Utf8},
        {"caf\xC3\xA9", Utf8},
        {"caf\xE9 x", Ansi},
        {std::string("a\0", 2), Ansi},
    };
    for (const Row& row : rows) {
        TextFileStream stream(Detect);
        ASSERT_TRUE(stream.OpenExisting(dir.Write("f", row.bytes)));
        EXPECT_EQ(stream.DetectEncoding(), row.encoding) << row.bytes;
    }
    EXPECT_EQ(IsLikelyUtf8(nullptr, 3), -1);
    EXPECT_EQ(IsLikelyUtf8(reinterpret_cast<const uint8_t*>("ab\xC3\xA9\xC3"), 5), 5);
}

TEST(TextFileStreamTest, WritesEachEncodingWithItsMark) {
    test::TempDir dir;
    struct Row {
        int32_t encoding;
        std::string bytes;
    };
    const std::vector<Row> rows = {
        {Utf16Le, std::string("\xFF\xFE"
                              "a\0\r\0\n\0",
                              8)},
        {Utf16Be, std::string("\xFE\xFF\0a\0\r\0\n", 8)},
        {Utf8Bom,
         "\xEF\xBB\xBF"
         "a\r\n"},
        {Utf8, "a\r\n"},
    };
    for (const Row& row : rows) {
        std::string path = dir.Path() + "/w";
        {
            TextFileStream stream(row.encoding);
            ASSERT_TRUE(stream.CreateNew(path, 4096));
            ASSERT_TRUE(stream.WriteLine(u"a", true));
        }
        EXPECT_EQ(test::ReadFileBytes(path), row.bytes) << row.encoding;
    }
    TextFileStream stream(Ansi);
    EXPECT_FALSE(stream.WriteByteOrderMark(Ansi));
}

}  // namespace
}  // namespace linesift
