#include <gtest/gtest.h>

#include <cstdio>

#include "batch.h"
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

TEST_F(BatchTest, SaysWhenTheEngineGaveUpOnTooManyLines) {
    std::string text = "aaa\n";
    for (int i = 0; i < 150; ++i) {
        text += std::string(40, 'a') + "b\n";
    }
    BatchRun r = RunArgs(
        {"--filter", "(a+)+\\1$", "--query-mode", "regex", "--count", dir_.Write("hard", text)});
    EXPECT_EQ(r.out, "0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("backtracks too much"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace linesift
