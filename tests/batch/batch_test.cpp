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

TEST_F(BatchTest, ArgumentErrors) {
    EXPECT_EQ(RunArgs({"--print"}).status, 2);
    EXPECT_EQ(RunArgs({"--print", "a", "b"}).status, 2);
    EXPECT_EQ(RunArgs({"--bogus", "a"}).status, 2);
    EXPECT_EQ(RunArgs({"some.log"}).status, -1);
}

}  // namespace
}  // namespace linesift
