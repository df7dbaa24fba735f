// Following a file that another program appends to, truncates or replaces:
// the document read piece by piece equals the document of the finished file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "document/encoding_choice.h"
#include "document/text_document.h"
#include "document_lines.h"
#include "filter/filter_range.h"
#include "filter/filtered_lines.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::LinesOf;

void AppendBytes(const std::string& path, std::string_view bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

void TruncateTo(const std::string& path, off_t size) {
    ASSERT_EQ(::truncate(path.c_str(), size), 0);
}

std::vector<std::u16string> LinesOfFile(const std::string& path) {
    TextDocument finished;
    EXPECT_TRUE(finished.LoadFromFile(FromNativePath(path)));
    return LinesOf(finished);
}

class DocumentFollowTest : public ::testing::Test {
  protected:
    // Starts following a file that holds first.
    void Start(std::string_view first, LoadOptions options = {}) {
        path_ = dir_.Write("log.txt", first);
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path_), options));
    }
    FileUpdate Append(std::string_view bytes) {
        AppendBytes(path_, bytes);
        return document_.ReadAppended();
    }

    test::TempDir dir_;
    std::string path_;
    TextDocument document_;
};

TEST_F(DocumentFollowTest, AppendsReadAsTheFinishedFileRows) {
    struct Step {
        std::string bytes;
        std::vector<std::u16string> lines;
        FileChange change;
        size_t first_changed;
    };
    struct Row {
        const char* name;
        std::string first;
        std::vector<Step> steps;
    };
    const Row rows[] = {
        {"whole lines are added after the empty last line",
         "a\n",
         {{"b\nc\n", {u"a", u"b", u"c", u""}, FileChange::Appended, 1}}},
        {"a half-written last line is shown and completed in place",
         "a\nhal",
         {{"f", {u"a", u"half"}, FileChange::Appended, 1},
          {"\nnext", {u"a", u"half", u"next"}, FileChange::Appended, 2}}},
        {"a line break completing the last line changes no text",
         "a\nb",
         {{"\n", {u"a", u"b", u""}, FileChange::Appended, 2}}},
        {"CR at the end of one write, LF at the start of the next",
         "a\r",
         {{"\nb\r\n", {u"a", u"b", u""}, FileChange::Appended, 1}}},
        {"a lone CR stays a break when text follows",
         "a\r",
         {{"b", {u"a", u"b"}, FileChange::Appended, 1}}},
        {"a UTF-8 sequence split between writes",
         "x\n\xC3",
         {{"\xA9t\n", {u"x", u"\u00e9t", u""}, FileChange::Appended, 1}}},
        {"UTF-16 LE: a code unit split between writes",
         std::string("\xFF\xFE"
                     "a\0\n",
                     5),
         {{std::string("\0b\0", 3), {u"a", u"b"}, FileChange::Appended, 1}}},
        {"UTF-16 BE: CR and LF in two writes",
         std::string("\xFE\xFF\0a\0\r", 6),
         {{std::string("\0\n\0b", 4), {u"a", u"b"}, FileChange::Appended, 1}}},
        {"an empty file that starts to grow",
         "",
         {{"one\ntwo", {u"one", u"two"}, FileChange::Appended, 0}}},
        {"appending nothing changes nothing", "a\n", {{"", {u"a", u""}, FileChange::None, 2}}},
        {"one ASCII byte, then UTF-8: the encoding is detected again",
         "o",
         {{"k \xE2\x9C\x93\n", {u"ok \u2713", u""}, FileChange::Appended, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start(row.first);
        for (const Step& step : row.steps) {
            FileUpdate update = Append(step.bytes);
            EXPECT_EQ(update.change, step.change);
            EXPECT_EQ(update.first_changed, step.first_changed);
            EXPECT_EQ(LinesOf(document_), step.lines);
        }
        EXPECT_EQ(LinesOf(document_), LinesOfFile(path_));
        EXPECT_FALSE(document_.HasChangedOnDisk());
    }
}

// Every way of cutting the text into two writes, and into single bytes,
// gives the lines of the finished file.
TEST_F(DocumentFollowTest, EveryCutGivesTheFinishedFileRows) {
    const struct {
        const char* name;
        std::string text;
    } rows[] = {
        {"UTF-8, mixed breaks", "one\r\ntw\xC3\xA9\rthree\n\n\xE2\x82\xACnd\r"},
        {"UTF-8 with a byte order mark",
         "\xEF\xBB\xBF"
         "a\r\nb\n"},
        {"UTF-16 LE", std::string("\xFF\xFE"
                                  "a\0\r\0\n\0\r\0b\0\n\0\x3D\xD8\x00\xDE",
                                  18)},
        {"UTF-16 BE, odd length", std::string("\xFE\xFF\0a\0\r\0\n\0b\0", 11)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::u16string> finished =
            LinesOfFile(dir_.Write("finished.txt", row.text));
        for (size_t cut = 0; cut <= row.text.size(); ++cut) {
            SCOPED_TRACE(cut);
            Start(row.text.substr(0, cut));
            Append(row.text.substr(cut));
            EXPECT_EQ(LinesOf(document_), finished);
        }
        Start("");
        for (char c : row.text) {
            Append(std::string(1, c));
        }
        EXPECT_EQ(LinesOf(document_), finished);
    }
}

// An encoding chosen for a file that was empty when opened reads the bytes
// it gains, past a byte order mark of its own.
TEST_F(DocumentFollowTest, EncodingChosenForAnEmptyFileReadsItsFirstBytesRows) {
    const struct {
        const char* name;
        const char* choice;
        std::string bytes;
        std::vector<std::u16string> lines;
        int32_t encoding;
        const char* codePage;
    } rows[] = {
        {"a code page", "ISO-8859-7", "\xE1\xE2\nb", {u"\u03B1\u03B2", u"b"}, Ansi, "ISO-8859-7"},
        {"UTF-16BE without a mark",
         "UTF-16BE",
         std::string("\0a\0\n\0b", 6),
         {u"a", u"b"},
         Utf16Be,
         ""},
        {"UTF-16LE with its mark",
         "UTF-16LE",
         std::string("\xFF\xFE"
                     "a\0",
                     4),
         {u"a"},
         Utf16Le,
         ""},
        {"UTF-8 with a mark",
         "UTF-8",
         "\xEF\xBB\xBF"
         "ok\n",
         {u"ok", u""},
         Utf8Bom,
         ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoadOptions options;
        std::string error;
        ASSERT_TRUE(ParseEncodingName(row.choice, options.encoding, error)) << error;
        Start("", options);
        EXPECT_TRUE(document_.IsEncodingChosen());
        EXPECT_EQ(Append(row.bytes).change, FileChange::Appended);
        EXPECT_EQ(LinesOf(document_), row.lines);
        EXPECT_EQ(document_.Encoding(), row.encoding);
        EXPECT_EQ(document_.CodePage(), row.codePage);
        EXPECT_TRUE(document_.IsEncodingChosen());
        TextDocument finished;
        ASSERT_TRUE(finished.LoadFromFile(FromNativePath(path_), options));
        EXPECT_EQ(LinesOf(document_), LinesOf(finished));
    }
}

TEST_F(DocumentFollowTest, RewrittenFilesAreReportedRows) {
    struct Row {
        const char* name;
        std::function<void(const std::string& path)> change;
        FileChange expected;
    };
    const Row rows[] = {
        {"truncated in place", [](const std::string& p) { TruncateTo(p, 3); },
         FileChange::Truncated},
        {"copied and truncated, then written past the old size",
         [](const std::string& p) {
             TruncateTo(p, 0);
             AppendBytes(p, "2026-12-10 new start of the log, longer than before\n");
         },
         FileChange::Truncated},
        {"rewritten in place from the start at the same size",
         [](const std::string& p) {
             int fd = ::open(p.c_str(), O_WRONLY | O_CLOEXEC);
             ASSERT_EQ(::pwrite(fd, "X", 1, 0), 1);
             ::close(fd);
         },
         FileChange::Truncated},
        {"renamed away and created anew",
         [](const std::string& p) {
             ASSERT_EQ(std::rename(p.c_str(), (p + ".1").c_str()), 0);
             AppendBytes(p, "fresh\n");
         },
         FileChange::Replaced},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start("first line\nsecond line\n");
        row.change(path_);
        FileUpdate update = document_.ReadAppended();
        EXPECT_EQ(update.change, row.expected);
        // The caller loads the file again; nothing was read past the end meanwhile.
        EXPECT_LE(LinesOf(document_).size(), 3u);
        ASSERT_TRUE(document_.LoadFromFile(FromNativePath(path_)));
        EXPECT_EQ(LinesOf(document_), LinesOfFile(path_));
    }
}

TEST_F(DocumentFollowTest, RenamedAwayFileIsFollowedUntilANewOneAppears) {
    Start("a\n");
    ASSERT_EQ(std::rename(path_.c_str(), (path_ + ".1").c_str()), 0);
    AppendBytes(path_ + ".1", "b\n");
    FileUpdate update = document_.ReadAppended();
    EXPECT_EQ(update.change, FileChange::Appended);
    EXPECT_EQ(LinesOf(document_), (std::vector<std::u16string>{u"a", u"b", u""}));
    AppendBytes(path_, "new\n");
    EXPECT_EQ(document_.ReadAppended().change, FileChange::Replaced);
}

TEST_F(DocumentFollowTest, FileShrunkAfterAReadIsNeverReadPastItsEnd) {
    Start(std::string(100000, 'x') + "\n");
    Append(std::string(50000, 'y') + "\nz");
    TruncateTo(path_, 10);
    EXPECT_EQ(document_.ReadAppended().change, FileChange::Truncated);
    std::u16string buffer;
    EXPECT_TRUE(document_.LineText(1, buffer).empty());
    EXPECT_TRUE(document_.FileChanged());
}

TEST_F(DocumentFollowTest, DocumentsWithoutAFileOfTheirOwnReportNothing) {
    Start("a\n");
    ASSERT_TRUE(document_.SaveToFile(FromNativePath(dir_.Path() + "/saved.txt")));
    AppendBytes(path_, "b\n");
    EXPECT_EQ(document_.ReadAppended().change, FileChange::None) << "saved under another name";

    TextDocument lines;
    lines.LoadFromLines({u"a", u"b"});
    EXPECT_EQ(lines.ReadAppended().change, FileChange::None);
    TextDocument empty;
    EXPECT_EQ(empty.ReadAppended().change, FileChange::None);
}

// The followed document filtered range by range equals the finished file
// filtered at once, in every filter mode; the selection stays.
TEST_F(DocumentFollowTest, FilteredRangesEqualAPassOverTheFinishedFileRows) {
    const std::string writes[] = {"error one\ninfo", " two\nerr", "or three\r",
                                  "\ninfo four\nerror five"};
    const struct {
        const char* name;
        FilterRequest request;
    } rows[] = {
        {"no query", {}},
        {"hide unmatched", {.text = u"error"}},
        {"hide matched", {.text = u"error", .filter_mode = FilterMode::HideMatched}},
        {"show all", {.text = u"error", .filter_mode = FilterMode::ShowAll}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FilterMode mode =
            row.request.text.empty() ? FilterMode::ShowAll : row.request.filter_mode;
        Start("");
        FilteredLines lines;
        lines.Reset(0);
        for (const std::string& bytes : writes) {
            FileUpdate update = Append(bytes);
            LineBits tail;
            ASSERT_EQ(FilterRange(row.request, document_, update.first_changed,
                                  document_.LineCount(), tail),
                      FilterStatus::Done);
            lines.Append(update.first_changed, tail, mode);
            lines.SetSelected(0, true);
        }
        TextDocument finished;
        ASSERT_TRUE(finished.LoadFromFile(FromNativePath(path_)));
        FilterResult result;
        ASSERT_EQ(RunFilterPass(row.request, finished, result), FilterStatus::Done);
        ASSERT_EQ(lines.LineCount(), finished.LineCount());
        EXPECT_EQ(lines.Shown().ToVector(), result.shown.ToVector());
        for (LineNo i = 0; i < lines.LineCount(); ++i) {
            EXPECT_EQ(lines.IsMatched(i), result.matched.Test(static_cast<size_t>(i))) << i;
            EXPECT_EQ(lines.IsSelected(i), i == 0) << i;
        }
    }
}

}  // namespace
}  // namespace linesift
