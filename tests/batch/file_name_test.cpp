// File names that are not UTF-8 through the built program: the argument's
// bytes name the file, and messages give them back as they came.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "program_process.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::ProgramResult;
using test::RunProgram;

TEST(FileNameTest, NamesThatAreNotUtf8OpenByTheirBytes) {
    struct Row {
        const char* label;
        std::string name;
    };
    const std::vector<Row> rows = {
        {"Latin-1", "caf\xE9.txt"},
        {"a truncated sequence", "x\xC3.log"},
        {"an encoded surrogate", "s\xED\xB3\xA9.log"},
        {"0xFF and 0x80", "\xFF\x80"},
        {"valid UTF-8 beside a bad byte", "\xC3\xA9t\xE9.log"},
    };
    test::TempDir dir;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const std::string path = dir.Write(row.name, "first error\nfine\nsecond error\n");
        ProgramResult printed = RunProgram({"--print", path});
        EXPECT_EQ(printed.status, 0) << printed.err;
        // The empty line after the last break is a line of the document.
        EXPECT_EQ(printed.out, "first error\nfine\nsecond error\n\n");
        ProgramResult counted = RunProgram({"--count", "--filter", "error", path});
        EXPECT_EQ(counted.status, 0) << counted.err;
        EXPECT_EQ(counted.out, "2\n");
    }
}

TEST(FileNameTest, AMissingNameIsReportedWithItsBytes) {
    test::TempDir dir;
    const std::string path = dir.Path() + "/missing\xE9.log";
    ProgramResult result = RunProgram({"--print", path});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find(path), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("No such file"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace linesift
