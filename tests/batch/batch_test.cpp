#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "batch.h"
#include "output_writer.h"
#include "test_files.h"

namespace linesift {
namespace {

struct BatchRun {
    int status;
    std::string out;
    std::string err;
};

BatchRun RunArgs(const std::vector<std::string>& args) {
    BatchOptions options;
    std::string error;
    BatchParse parse = ParseBatchArguments(args, options, error);
    if (parse == BatchParse::Error) {
        return {2, "", error};
    }
    if (parse == BatchParse::NotBatch) {
        return {-1, "", ""};
    }
    FILE* out = std::tmpfile();
    FILE* err = std::tmpfile();
    int status = RunBatch(options, out, err);
    auto slurp = [](FILE* f) {
        std::string s;
        std::rewind(f);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
            s.append(buf, n);
        }
        std::fclose(f);
        return s;
    };
    return {status, slurp(out), slurp(err)};
}

class BatchTest : public ::testing::Test {
  protected:
    test::TempDir dir_;
};

TEST_F(BatchTest, PrintsEveryLineAsUtf8) {
    std::string path = dir_.Write("f", std::string("\xFF\xFE"
                                                   "h\0\xE9\0\r\0\n\0",
                                                   10));
    BatchRun r = RunArgs({"--print", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "h\xC3\xA9\n\n");
}

TEST_F(BatchTest, JsonEscapesControlsQuotesAndLoneSurrogates) {
    std::string bytes = std::string("\xFF\xFE", 2) +
                        std::string("\"\0\\\0\0\0\x01\0\x00\xD8x\0\x3D\xD8\x00\xDE", 16);
    std::string path = dir_.Write("f", bytes);
    BatchRun r = RunArgs({"--print", "--json", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "{\"line\": 1, \"text\": \"\\\"\\\\\\u0000\\u0001\\ud800x\xF0\x9F\x98\x80\"}\n");
}

TEST_F(BatchTest, CountsAndReportsExitStatus) {
    EXPECT_EQ(RunArgs({"--count", dir_.Write("three", "a\nb\nc")}).out, "3\n");
    BatchRun empty = RunArgs({"--count", dir_.Write("empty", "")});
    EXPECT_EQ(empty.out, "0\n");
    EXPECT_EQ(empty.status, 1);
    BatchRun missing = RunArgs({"--print", dir_.Path() + "/missing"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos);
}

// Files of the system report a size of 0; they are read to their end.
TEST_F(BatchTest, CountsTheLinesOfFilesWithoutASize) {
    BatchRun r = RunArgs({"--count", "/proc/self/maps"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(std::stol(r.out), 1);
}

TEST_F(BatchTest, StatsGoToStandardError) {
    BatchRun r = RunArgs({"--count", "--stats", dir_.Write("f", "a\n")});
    EXPECT_EQ(r.out, "2\n");
    EXPECT_EQ(r.err.rfind("load_ms=", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(" lines=2 bytes=2 peak_rss_mb="), std::string::npos) << r.err;
}

TEST_F(BatchTest, FilterRows) {
    std::string path =
        dir_.Write("log", "an Error here\ndebug error\ninfo\n\nterror err\nuser=bob status=503");
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string out;
    };
    const Row rows[] = {
        {"naive, match case off",
         {"--filter", "error"},
         "an Error here\ndebug error\nterror err\n"},
        {"naive with a negated term", {"--filter", "error -debug"}, "an Error here\nterror err\n"},
        {"match case", {"--filter", "Error", "--match-case"}, "an Error here\n"},
        {"whole word", {"--filter", "error", "--whole-word"}, "an Error here\ndebug error\n"},
        {"smart",
         {"--filter", "err", "--query-mode", "smart"},
         "an Error here\ndebug error\nterror err\n"},
        {"smart without a word start", {"--filter", "rror", "--query-mode=smart"}, ""},
        {"regex, case-insensitive",
         {"--filter", "STATUS=5\\d\\d", "--query-mode", "regex"},
         "user=bob status=503\n"},
        {"hide matched", {"--filter", "e", "--filter-mode", "hide-matched"}, "info\n\n"},
        {"show all",
         {"--filter", "zzz", "--filter-mode=show-all"},
         "an Error here\ndebug error\ninfo\n\nterror err\nuser=bob status=503\n"},
        {"empty query shows every line",
         {"--filter", ""},
         "an Error here\ndebug error\ninfo\n\nterror err\nuser=bob status=503\n"},
        {"negated only keeps the empty line", {"--filter", "-e"}, "info\n\n"},
        {"line numbers",
         {"--filter", "err", "-n"},
         "1:an Error here\n2:debug error\n5:terror err\n"},
        {"count of shown lines", {"--filter", "err", "--count"}, "3\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = row.args;
        args.push_back(path);
        BatchRun r = RunArgs(args);
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.status, row.out.empty() ? 1 : 0);
    }
}

TEST_F(BatchTest, ColorMarksMergedSpansOfMatchedLinesOnly) {
    std::string path = dir_.Write("log", "foobar x foo\nnothing");
    BatchRun r = RunArgs(
        {"--filter", "foo foobar", "--color=always", "-n", "--filter-mode", "show-all", path});
    const std::string on = "\33[01;31m\33[K";
    const std::string off = "\33[m\33[K";
    const std::string number1 = "\33[32m\33[K1\33[m\33[K\33[36m\33[K:\33[m\33[K";
    const std::string number2 = "\33[32m\33[K2\33[m\33[K\33[36m\33[K:\33[m\33[K";
    EXPECT_EQ(r.out, number1 + on + "foobar" + off + " x " + on + "foo" + off + "\n" + number2 +
                         "nothing\n");
    BatchRun plain = RunArgs({"--filter", "foo", "--color=never", path});
    EXPECT_EQ(plain.out, "foobar x foo\n");
    BatchRun piped = RunArgs({"--filter", "foo", "--color", path});
    EXPECT_EQ(piped.out, "foobar x foo\n") << "auto: the output is no terminal";
}

TEST_F(BatchTest, JsonAddsMatchedAndSpans) {
    std::string path = dir_.Write("log",
                                  "foo foobar\nbar\n\xF0\x9F\x98\x80"
                                  "foo");
    BatchRun r = RunArgs({"--json", "--filter", "foo", "--filter-mode", "show-all", path});
    EXPECT_EQ(r.out,
              "{\"line\": 1, \"text\": \"foo foobar\", \"matched\": true, \"spans\": [[0, 3], "
              "[4, 7]]}\n"
              "{\"line\": 2, \"text\": \"bar\", \"matched\": false, \"spans\": []}\n"
              "{\"line\": 3, \"text\": \"\xF0\x9F\x98\x80"
              "foo\", \"matched\": true, \"spans\": "
              "[[2, 5]]}\n");
    BatchRun negated = RunArgs({"--json", "--filter", "-bar", path});
    EXPECT_NE(negated.out.find("\"line\": 3, \"text\": \"\xF0\x9F\x98\x80"
                               "foo\", \"matched\": true, \"spans\": []"),
              std::string::npos)
        << negated.out;
    BatchRun regex = RunArgs({"--json", "--filter", "a*", "--query-mode", "regex", path});
    EXPECT_NE(regex.out.find("\"text\": \"bar\", \"matched\": true, \"spans\": [[1, 2]]"),
              std::string::npos)
        << regex.out;
}

TEST_F(BatchTest, InvalidRegexIsAnErrorWithTheEngineMessage) {
    BatchRun r = RunArgs({"--filter", "a(", "--query-mode", "regex", dir_.Write("f", "a(\n")});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("linesift: invalid regular expression: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("parenthesis"), std::string::npos) << r.err;
}

TEST_F(BatchTest, StatsReportFilterTime) {
    BatchRun r = RunArgs({"--filter", "a", "--count", "--stats", dir_.Write("f", "a\nb\n")});
    EXPECT_EQ(r.out, "1\n");
    EXPECT_NE(r.err.find(" filter_ms="), std::string::npos) << r.err;
}

TEST_F(BatchTest, FilterArgumentErrors) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string error;
    };
    const Row rows[] = {
        {"missing query", {"--filter"}, "option '--filter' needs a value"},
        {"bad query mode",
         {"--query-mode", "fuzzy", "f"},
         "invalid value 'fuzzy' for '--query-mode'"},
        {"bad filter mode", {"--filter-mode=all", "f"}, "invalid value 'all' for '--filter-mode'"},
        {"bad colour", {"--color=sometimes", "f"}, "invalid value 'sometimes' for '--color'"},
        {"flag with a value", {"--match-case=yes", "f"}, "unknown option '--match-case=yes'"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BatchRun r = RunArgs(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, row.error);
    }
    BatchRun dashQuery = RunArgs({"--filter", "-x", "--count", dir_.Write("f", "x\ny")});
    EXPECT_EQ(dashQuery.out, "1\n") << "a query may start with a hyphen";
}

TEST_F(BatchTest, ArgumentErrors) {
    EXPECT_EQ(RunArgs({"--print"}).status, 2);
    EXPECT_EQ(RunArgs({"--print", "a", "b"}).status, 2);
    EXPECT_EQ(RunArgs({"--bogus", "a"}).status, 2);
    EXPECT_EQ(RunArgs({"some.log"}).status, -1);
}

// Lines the engine gives up on are undecided: the results printed stay, the
// count goes to stderr and the exit status is 2.
TEST_F(BatchTest, CountsUndecidedLinesAndFails) {
    const std::string hard = std::string(40, 'a') + "b\n";
    struct Row {
        const char* name;
        int hardLines;
        const char* mode;
        std::string out;
        const char* err;
    };
    const std::vector<Row> rows = {
        {"one undecided line", 1, "hide-unmatched", "1\n",
         "linesift: the regular expression backtracks too much: 1 of 4 lines could not be "
         "decided; the result is incomplete\n"},
        {"hide matched keeps printing", 3, "hide-matched", "5\n",
         "linesift: the regular expression backtracks too much: 3 of 6 lines could not be "
         "decided; the result is incomplete\n"},
        {"the filter stops", 150, "hide-matched", "153\n",
         "linesift: the regular expression backtracks too much: 153 of 153 lines could not be "
         "decided (the filter stopped; no line counts as matching); the result is "
         "incomplete\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::string text = "aaa\nxyz\n";
        for (int i = 0; i < row.hardLines; ++i) {
            text += hard;
        }
        BatchRun r = RunArgs({"--filter", "(a+)+\\1$", "--query-mode", "regex", "--filter-mode",
                              row.mode, "--count", dir_.Write("hard", text)});
        EXPECT_EQ(r.out, row.out);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, row.err);
    }
}

// How many of this process's descriptors are open on path.
int OpenDescriptorsOn(const std::string& path) {
    int count = 0;
    DIR* dir = ::opendir("/proc/self/fd");
    while (dirent* entry = dir != nullptr ? ::readdir(dir) : nullptr) {
        char target[4096];
        std::string link = std::string("/proc/self/fd/") + entry->d_name;
        ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        count += n > 0 && std::string(target, static_cast<size_t>(n)) == path;
    }
    if (dir != nullptr) {
        ::closedir(dir);
    }
    return count;
}

// A terminal whose other side closes after two lines: reading it then fails
// with EIO, as a device or pipe failing part-way does.
TEST_F(BatchTest, ReadErrorOnAPipeOrDeviceIsAnError) {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    std::string slave = ::ptsname(master);
    int held = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(held, 0);
    termios raw = {};
    ASSERT_EQ(::tcgetattr(held, &raw), 0);
    ::cfmakeraw(&raw);
    ASSERT_EQ(::tcsetattr(held, TCSANOW, &raw), 0);
    ASSERT_EQ(::write(master, "a\nb\n", 4), 4);

    BatchRun r;
    std::thread reader([&] { r = RunArgs({"--count", slave}); });
    while (OpenDescriptorsOn(slave) < 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::close(master);
    reader.join();
    ::close(held);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Input/output error"), std::string::npos) << r.err;
}

// An output on which every write fails, as on a full disk or a closed pipe
// with SIGPIPE ignored; it counts the writes tried.
FILE* OpenFailingOutput(int& writes) {
    cookie_io_functions_t io = {};
    io.write = [](void* cookie, const char*, size_t) -> ssize_t {
        ++*static_cast<int*>(cookie);
        errno = ENOSPC;
        return -1;
    };
    return ::fopencookie(&writes, "w", io);
}

// How many writes stdio tries for one block of output that fails.
int WritesForOneFailedBlock() {
    int writes = 0;
    FILE* out = OpenFailingOutput(writes);
    std::string block(2 << 20, 'x');
    std::fwrite(block.data(), 1, block.size(), out);
    int tried = writes;
    std::fclose(out);
    return tried;
}

TEST(OutputWriterTest, ReportsAFailedWriteAsSoonAsItHappens) {
    int writes = 0;
    FILE* out = OpenFailingOutput(writes);
    ASSERT_NE(out, nullptr);
    {
        OutputWriter writer(out);
        writer.Append("short");
        EXPECT_FALSE(writer.Failed()) << "nothing was written yet";
        writer.Append(std::string(2 << 20, 'x'));
        EXPECT_TRUE(writer.Failed()) << "a full buffer was written and failed";
        int tried = writes;
        for (int i = 0; i < 3; ++i) {
            writer.Append(std::string(2 << 20, 'y'));
        }
        EXPECT_FALSE(writer.Flush());
        EXPECT_EQ(writes, tried) << "nothing is written after a failure";
    }
    std::fclose(out);
}

TEST_F(BatchTest, StopsAtTheFirstFailedWrite) {
    std::string text;
    for (int i = 0; i < 60000; ++i) {
        text += "a line of text long enough to fill the output buffer quickly " +
                std::to_string(i) + "\n";
    }
    std::string path = dir_.Write("big", text);
    for (const char* format : {"--print", "--json"}) {
        SCOPED_TRACE(format);
        BatchOptions options;
        std::string error;
        ASSERT_EQ(ParseBatchArguments({format, "--filter", "line", path}, options, error),
                  BatchParse::Batch);
        int writes = 0;
        FILE* out = OpenFailingOutput(writes);
        FILE* err = std::tmpfile();
        EXPECT_EQ(RunBatch(options, out, err), 2);
        EXPECT_EQ(writes, WritesForOneFailedBlock()) << "nothing is written after a failure";
        std::fclose(out);
        std::rewind(err);
        char message[256] = {};
        EXPECT_NE(std::fgets(message, sizeof message, err), nullptr);
        EXPECT_STREQ(message, "linesift: could not write the output\n");
        std::fclose(err);
    }
}

}  // namespace
}  // namespace linesift

namespace linesift {
namespace {

// What grep prints for args on the file at path.
std::string GrepOutput(const std::string& args, const std::string& path) {
    std::string command = "grep " + args + " '" + path + "'";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buf[4096];
    size_t n;
    while (pipe != nullptr && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0) {
        out.append(buf, n);
    }
    if (pipe != nullptr) {
        ::pclose(pipe);
    }
    return out;
}

// Context lines follow grep's rules: the same lines, separators and marks
// as grep prints for the same file. The files end without a line break, where
// grep and the document agree on the lines.
TEST_F(BatchTest, ContextLinesAsGrepPrintsThem) {
    struct File {
        const char* name;
        const char* text;
    };
    const File files[] = {
        {"first and last lines", "ERR a\nb\nc\nd\ne\nf\ng\nERR h"},
        {"overlapping groups", "a\nERR b\nc\nERR d\ne\nf\ng\nh\ni\nERR j\nk\nl\nm"},
        {"adjacent groups", "a\nERR b\nc\nd\nERR e\nf\ng\nh\ni\nj\nk\nERR l\nm"},
        {"consecutive matches and empty lines", "\n\nERR\nERR\n\nx\ny\nz\nERR\n\n\nERR\nw"},
        {"no match", "a\nb\nc"},
        {"one line", "ERR"},
    };
    const char* contexts[] = {"-A 1", "-B 1",      "-C 1", "-C 0",      "-A 0",
                              "-B 0", "-A 2 -B 1", "-C 3", "-A 1 -C 4", "-C2"};
    for (const File& file : files) {
        std::string path = dir_.Write("f", file.text);
        for (const char* context : contexts) {
            for (const char* numbers : {"", " -n"}) {
                std::string args = std::string(context) + numbers;
                SCOPED_TRACE(std::string(file.name) + ": " + args);
                std::vector<std::string> argv = {"--filter", "ERR", "--match-case"};
                std::string word;
                for (char c : args + " ") {
                    if (c != ' ') {
                        word += c;
                    } else if (!word.empty()) {
                        argv.push_back(word);
                        word.clear();
                    }
                }
                argv.push_back(path);
                std::string expected = GrepOutput("-F ERR " + args, path);
                BatchRun r = RunArgs(argv);
                EXPECT_EQ(r.out, expected);
                EXPECT_EQ(r.status, expected.empty() ? 1 : 0) << r.err;
            }
        }
    }
}

TEST_F(BatchTest, ContextLinesInJsonAndColour) {
    std::string path = dir_.Write("f", "a\nERR b\nc\nd\ne\nERR f");
    BatchRun json = RunArgs({"--json", "-A", "1", "--filter", "ERR", "--match-case", path});
    EXPECT_EQ(json.out,
              "{\"line\": 2, \"text\": \"ERR b\", \"matched\": true, \"spans\": [[0, 3]]}\n"
              "{\"line\": 3, \"text\": \"c\", \"matched\": false, \"spans\": [], \"context\": "
              "true}\n"
              "{\"line\": 6, \"text\": \"ERR f\", \"matched\": true, \"spans\": [[0, 3]]}\n");
    BatchRun color =
        RunArgs({"--color=always", "-n", "-B1", "--filter", "ERR", "--match-case", path});
    const std::string on = "\33[01;31m\33[K";
    const std::string off = "\33[m\33[K";
    auto number = [&](const char* n, const char* sep) {
        return "\33[32m\33[K" + std::string(n) + off + "\33[36m\33[K" + sep + off;
    };
    EXPECT_EQ(color.out, number("1", "-") + "a\n" + number("2", ":") + on + "ERR" + off +
                             " b\n\33[36m\33[K--" + off + "\n" + number("5", "-") + "e\n" +
                             number("6", ":") + on + "ERR" + off + " f\n");
    BatchRun count = RunArgs({"--count", "-C", "5", "--filter", "ERR", path});
    EXPECT_EQ(count.out, "2\n") << "--count counts the shown lines, not their context";
}

TEST_F(BatchTest, ContextArgumentErrors) {
    struct Row {
        const char* name;
        std::vector<std::string> args;
        std::string error;
    };
    const Row rows[] = {
        {"not a number", {"-A", "x", "f"}, "invalid value 'x' for '-A'"},
        {"negative", {"--before-context=-1", "f"}, "invalid value '-1' for '--before-context'"},
        {"joined, not a number", {"-C1x", "f"}, "invalid value '1x' for '-C'"},
        {"missing", {"f", "--context"}, "option '--context' needs a value"},
        {"hide matched",
         {"-C", "1", "--filter-mode", "hide-matched", "f"},
         "context lines (-A, -B, -C) need the filter mode hide-unmatched"},
        {"show all",
         {"--filter-mode=show-all", "-A0", "f"},
         "context lines (-A, -B, -C) need the filter mode hide-unmatched"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        BatchRun r = RunArgs(row.args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, row.error);
    }
}

}  // namespace
}  // namespace linesift
