// --follow through the built program, with the test as the writer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "program_process.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::RunningProgram;

void Append(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

// Replaces the file's content in place, as copy-truncate rotation does.
void Overwrite(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

void Pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

class FollowTest : public ::testing::Test {
  protected:
    std::string Path() const { return dir_.Path() + "/app.log"; }
    test::TempDir dir_;
};

TEST_F(FollowTest, PrintsTheFileThenEachLineOnceItsBreakArrives) {
    dir_.Write("app.log", "old error\nskip\n");
    RunningProgram p({"--follow", "--filter", "error", "-n", Path()});
    ASSERT_TRUE(p.WaitForOutput("1:old error\n")) << p.Output();
    Append(Path(), "new error\nnothing\n");
    ASSERT_TRUE(p.WaitForOutput("3:new error\n")) << p.Output();
    Append(Path(), "half err");
    p.Drain(400);
    EXPECT_EQ(p.Output().find("half"), std::string::npos) << "an unfinished line waits";
    Append(Path(), "or done\n");
    ASSERT_TRUE(p.WaitForOutput("5:half error done\n")) << p.Output();
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.Output(), "1:old error\n3:new error\n5:half error done\n");
    EXPECT_EQ(p.Errors(), "");
}

TEST_F(FollowTest, QueryModesAndJson) {
    dir_.Write("app.log", "a debug\nb\n");
    RunningProgram p(
        {"--follow", "--json", "--filter", "debug", "--filter-mode", "hide-matched", Path()});
    ASSERT_TRUE(p.WaitForOutput("\"b\"")) << p.Output();
    Append(Path(), "c debug\n\"d\"\n");
    ASSERT_TRUE(p.WaitForOutput("{\"line\": 4")) << p.Output();
    p.Signal(SIGINT);
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.Output(),
              "{\"line\": 2, \"text\": \"b\", \"matched\": false, \"spans\": []}\n"
              "{\"line\": 4, \"text\": \"\\\"d\\\"\", \"matched\": false, \"spans\": []}\n");
}

// However the writes cut the bytes, the lines are those of the finished file
// (without the empty line after its final break, which nobody is writing).
TEST_F(FollowTest, WritesSplitAnywhereGiveTheFinishedFilesLines) {
    struct Row {
        const char* name;
        std::vector<std::string> pieces;
    };
    const Row rows[] = {
        {"CR LF split between writes", {"one\r", "\ntwo\r", "\n", "three\r\n"}},
        {"a lone CR, then text", {"one\r", "two\r", "\r\n"}},
        {"UTF-8 sequences split", {"caf\xC3", "\xA9\n\xE2\x82", "\xAC", "\n"}},
        {"UTF-16 units and CR LF split",
         {std::string("\xFF\xFE"
                      "a\0\r",
                      5),
          std::string("\0\n\0b", 4), std::string("\0\n\0", 3)}},
        {"byte order mark split", {"\xEF\xBB", "\xBFx\n", "y\n"}},
        {"UTF-16 big-endian", {std::string("\xFE\xFF\0", 3), std::string("z\0\r\0\n", 5)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = dir_.Write("app.log", "");
        RunningProgram p({"--follow", path});
        std::string whole;
        for (const std::string& piece : row.pieces) {
            Append(path, piece);
            whole += piece;
            Pause(120);
        }
        test::ProgramResult finished = test::RunProgram({"--print", path});
        std::string expected = finished.out.substr(0, finished.out.size() - 1);
        EXPECT_TRUE(p.WaitForOutput(expected)) << p.Output();
        p.Drain(200);
        p.Signal(SIGTERM);
        EXPECT_EQ(p.Wait(), 0);
        EXPECT_EQ(p.Output(), expected);
    }
}

// With --encoding, every write is read in the chosen encoding: a sequence of
// several bytes split between writes, and a byte order mark or none.
TEST_F(FollowTest, ChosenEncodingWithWritesSplitAnywhere) {
    struct Row {
        const char* name;
        const char* encoding;
        std::vector<std::string> pieces;
    };
    const Row rows[] = {
        {"windows-1252 that would pass for nothing else",
         "windows-1252",
         {"caf\xE9 ", "cr\xE8me\r", "\nna\xEFve\n"}},
        {"Shift_JIS lead and trail bytes split",
         "Shift_JIS",
         {"\x93", "\xFA\x96", "\x7B\n\x82", "\xA0x\n"}},
        {"UTF-16LE without a mark",
         "UTF-16LE",
         {std::string("a\0b", 3), std::string("\0\r\0", 3), std::string("\n\0c\0\n\0", 6)}},
        {"UTF-16LE with its mark split", "UTF-16LE", {"\xFF", std::string("\xFEz\0\n\0", 5)}},
        {"UTF-8 with its mark split", "UTF-8", {"\xEF", "\xBB\xBF\xC3", "\xA9\n"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string path = dir_.Write("app.log", "");
        RunningProgram p({"--follow", "--encoding", row.encoding, "-n", path});
        for (const std::string& piece : row.pieces) {
            Append(path, piece);
            Pause(120);
        }
        test::ProgramResult finished =
            test::RunProgram({"--print", "--encoding", row.encoding, "-n", path});
        ASSERT_EQ(finished.status, 0) << finished.err;
        // Without the empty line after the final break.
        std::string expected =
            finished.out.substr(0, finished.out.rfind('\n', finished.out.size() - 2) + 1);
        EXPECT_TRUE(p.WaitForOutput(expected)) << p.Output();
        p.Drain(200);
        p.Signal(SIGTERM);
        EXPECT_EQ(p.Wait(), 0);
        EXPECT_EQ(p.Output(), expected);
        EXPECT_EQ(p.Errors(), "");
    }
}

TEST_F(FollowTest, TruncatedFileIsFollowedFromItsStart) {
    dir_.Write("app.log", "a1 long enough to be longer than what follows\na2\n");
    RunningProgram p({"--follow", "-n", Path()});
    ASSERT_TRUE(p.WaitForOutput("2:a2\n")) << p.Output();
    Append(Path(), "a3 unfinished");
    Pause(200);
    // Shrunk and rewritten between two looks: read from the start, never
    // past the new end.
    Overwrite(Path(), "b1\nb2\n");
    ASSERT_TRUE(p.WaitForOutput("2:b2\n")) << p.Output();
    Overwrite(Path(), "");
    Pause(200);
    Append(Path(), "c1\n");
    ASSERT_TRUE(p.WaitForOutput("1:c1\n")) << p.Output();
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.Output(),
              "1:a1 long enough to be longer than what follows\n2:a2\n3:a3 unfinished\n1:b1\n"
              "2:b2\n1:c1\n");
    EXPECT_NE(p.Errors().find("file truncated"), std::string::npos) << p.Errors();
}

TEST_F(FollowTest, RenamedAndCreatedAnewFollowsTheNewFile) {
    dir_.Write("app.log", "first\n");
    RunningProgram p({"--follow", Path()});
    ASSERT_TRUE(p.WaitForOutput("first\n")) << p.Output();
    std::string old = dir_.Path() + "/app.log.1";
    ASSERT_EQ(std::rename(Path().c_str(), old.c_str()), 0);
    Append(old, "late\nlast unfinished");
    Pause(300);
    Append(Path(), "new\n");
    ASSERT_TRUE(p.WaitForOutput("new\n")) << p.Output();
    Append(old, "ignored\n");
    Append(Path(), "newer\n");
    ASSERT_TRUE(p.WaitForOutput("newer\n")) << p.Output();
    p.Signal(SIGTERM);
    EXPECT_EQ(p.Wait(), 0);
    EXPECT_EQ(p.Output(), "first\nlate\nlast unfinished\nnew\nnewer\n");
    EXPECT_NE(p.Errors().find("following the new file"), std::string::npos) << p.Errors();
}

TEST_F(FollowTest, ClosedOutputEndsIt) {
    dir_.Write("app.log", "one\n");
    for (bool writeAfter : {false, true}) {
        SCOPED_TRACE(writeAfter ? "then a line arrives" : "while nothing arrives");
        RunningProgram p({"--follow", Path()});
        ASSERT_TRUE(p.WaitForOutput("one\n")) << p.Output();
        p.CloseOutput();
        if (writeAfter) {
            Append(Path(), "two\n");
        }
        EXPECT_EQ(p.Wait(), 0);
        EXPECT_EQ(p.Errors(), "");
    }
}

TEST_F(FollowTest, RefusedRequests) {
    std::string gz = dir_.Path() + "/app.gz";
    ASSERT_EQ(test::RunShell("echo hi | gzip -c > '" + gz + "'"), 0);
    struct Row {
        const char* name;
        std::vector<std::string> args;
        const char* error;
    };
    const Row rows[] = {
        {"missing file", {"--follow", dir_.Path() + "/none"}, "No such file"},
        {"standard input", {"--follow", "-"}, "--follow needs a file"},
        {"count", {"--follow", "--count", Path()}, "--follow cannot be combined"},
        {"context", {"--follow", "-C", "1", Path()}, "--follow cannot be combined"},
        {"compressed", {"--follow", gz}, "a compressed file cannot be followed"},
    };
    dir_.Write("app.log", "x\n");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::ProgramResult r = test::RunProgram(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find(row.error), std::string::npos) << r.err;
    }
}

}  // namespace
}  // namespace linesift
