// --encoding through the built program: a file read in the named encoding
// instead of the detected one.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_process.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::ProgramResult;
using test::RunProgram;
using test::RunShell;

// "ab\nerror c\n" as UTF-16 without a byte order mark.
const std::string kUtf16Le("a\0b\0\n\0e\0r\0r\0o\0r\0 \0c\0\n\0", 22);
const std::string kUtf16Be("\0a\0b\0\n\0e\0r\0r\0o\0r\0 \0c\0\n", 22);

TEST(EncodingOptionTest, ReadsTheFileInTheNamedEncoding) {
    test::TempDir dir;
    struct Row {
        const char* name;
        std::string bytes;
        std::vector<std::string> args;
        std::string out;
    };
    const Row rows[] = {
        {"Utf16LeWithoutMark", kUtf16Le, {"--encoding", "UTF-16LE", "--print"}, "ab\nerror c\n\n"},
        {"Utf16BeAttached", kUtf16Be, {"--encoding=utf-16be", "--filter", "err"}, "error c\n"},
        {"Utf16LeNumbered",
         kUtf16Le,
         {"--encoding", "UTF-16LE", "-n", "--filter", "c"},
         "2:error c\n"},
        {"Latin1AsWindows1252",
         "caf\xE9 \x80\n",
         {"--encoding", "windows-1252", "--print"},
         "caf\xC3\xA9 \xE2\x82\xAC\n\n"},
        {"Utf8BytesAsLatin1",
         "\xC3\xA9\n",
         {"--encoding", "ISO-8859-1", "--print"},
         "\xC3\x83\xC2\xA9\n\n"},
        {"AutoDetects", "\xC3\xA9\n", {"--encoding", "auto", "--print"}, "\xC3\xA9\n\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = row.args;
        args.push_back(dir.Write("in.txt", row.bytes));
        ProgramResult r = RunProgram(args);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }
}

TEST(EncodingOptionTest, AppliesToCompressedFilesAndStandardInput) {
    test::TempDir dir;
    const std::string plain = dir.Write("plain.txt", kUtf16Le);
    const std::string packed = dir.Path() + "/packed.log";
    ASSERT_EQ(RunShell("gzip -c < '" + plain + "' > '" + packed + "'"), 0);
    for (const auto& [label, result] :
         {std::pair{"compressed",
                    RunProgram({"--encoding", "UTF-16LE", "--filter", "err", packed})},
          std::pair{"stdin",
                    RunProgram({"--encoding", "UTF-16LE", "--filter", "err", "-"}, plain)}}) {
        SCOPED_TRACE(label);
        EXPECT_EQ(result.out, "error c\n");
        EXPECT_EQ(result.status, 0) << result.err;
    }
}

TEST(EncodingOptionTest, UnknownNamesAreErrors) {
    test::TempDir dir;
    const std::string file = dir.Write("in.txt", "x\n");
    struct Row {
        const char* name;
        std::vector<std::string> args;
        const char* says;
    };
    const Row rows[] = {
        {"Unknown", {"--encoding", "klingon", "--print", file}, "unknown encoding 'klingon'"},
        {"NotSplitAtLineBreaks", {"--encoding=UTF-32", "--print", file}, "unknown encoding"},
        {"Missing", {"--print", file, "--encoding"}, "needs a value"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ProgramResult r = RunProgram(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(row.says), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
    // The list hint names encodings that work.
    ProgramResult r = RunProgram({"--encoding", "klingon", "--print", file});
    EXPECT_NE(r.err.find("UTF-16LE"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("windows-1252"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace linesift
