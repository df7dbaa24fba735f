#include "command_line_help.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

struct InfoRow {
    const char* name;
    std::vector<std::string> args;
    InfoRequest expected;
};

class FindInfoRequestTest : public ::testing::TestWithParam<InfoRow> {};

TEST_P(FindInfoRequestTest, Finds) {
    EXPECT_EQ(FindInfoRequest(GetParam().args), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FindInfoRequestTest,
    ::testing::Values(
        InfoRow{"NoArguments", {}, InfoRequest::None},
        InfoRow{"FileOnly", {"app.log"}, InfoRequest::None},
        InfoRow{"LongHelp", {"--help"}, InfoRequest::Help},
        InfoRow{"ShortHelp", {"-h"}, InfoRequest::Help},
        InfoRow{"Version", {"--version"}, InfoRequest::Version},
        InfoRow{"HelpAmongBatchOptions", {"--print", "app.log", "--help"}, InfoRequest::Help},
        InfoRow{"FirstOneWins", {"--version", "--help"}, InfoRequest::Version},
        InfoRow{"AfterEndOfOptionsIsAFile", {"--", "--help"}, InfoRequest::None},
        InfoRow{"QueryValueIsNotAnOption",
                {"--print", "--filter", "--help", "app.log"},
                InfoRequest::None},
        InfoRow{
            "ModeValueIsNotAnOption", {"--filter-mode", "--version", "--help"}, InfoRequest::Help},
        InfoRow{"ContextCountIsNotAnOption", {"-A", "--help", "f"}, InfoRequest::None},
        InfoRow{
            "LongContextCountIsNotAnOption", {"--context", "--version", "f"}, InfoRequest::None},
        InfoRow{"JoinedValueTakesNoNextArgument",
                {"--color=always", "--version"},
                InfoRequest::Version}),
    [](const ::testing::TestParamInfo<InfoRow>& row) { return std::string(row.param.name); });

TEST(HelpTextTest, DocumentsEveryOption) {
    const std::string help(HelpText());
    for (const char* option : {"--print",
                               "--json",
                               "--count",
                               "--stats",
                               "--filter QUERY",
                               "--query-mode MODE",
                               "naive",
                               "smart",
                               "regex",
                               "--match-case",
                               "--whole-word",
                               "--filter-mode MODE",
                               "hide-unmatched",
                               "hide-matched",
                               "show-all",
                               "-n, --line-number",
                               "--color=WHEN",
                               "auto",
                               "always",
                               "never",
                               "-h, --help",
                               "--version",
                               "Exit status:",
                               "Examples:",
                               "Settings.xml",
                               "LINESIFT_DATA_DIR",
                               "XDG_CONFIG_HOME",
                               "XDG_CACHE_HOME",
                               "gzip, bzip2, xz or zstd",
                               "-A, --after-context=N",
                               "-B, --before-context=N",
                               "-C, --context=N",
                               "--follow",
                               "Following:"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

TEST(HelpTextTest, FitsATerminal) {
    const std::string help(HelpText());
    size_t start = 0;
    for (size_t end = help.find('\n'); end != std::string::npos; end = help.find('\n', start)) {
        EXPECT_LE(end - start, 79u) << help.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_EQ(start, help.size()) << "the text ends with a line break";
}

}  // namespace
}  // namespace linesift
