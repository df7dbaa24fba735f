// Highlighters: runs of a line coloured by ordered rules, with the filter
// query's highlight on top.
#include "highlight/line_highlighter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace linesift {
namespace {

using Runs = std::vector<ColoredRange>;
constexpr MarkupColor kQuery = 0xFEE300;

ColoredRange Bg(int64_t start, int64_t end, MarkupColor color) {
    return {start, end, std::nullopt, color};
}

TEST(OverlayRangesTest, TopRunsReplaceWhatLiesBeneathRows) {
    struct Row {
        const char* name;
        Runs under;
        Runs over;
        Runs expected;
    };
    const Row rows[] = {
        {"nothing over", {Bg(0, 4, 1)}, {}, {Bg(0, 4, 1)}},
        {"nothing under", {}, {Bg(2, 3, 2)}, {Bg(2, 3, 2)}},
        {"over in the middle splits",
         {Bg(0, 10, 1)},
         {Bg(3, 5, 2)},
         {Bg(0, 3, 1), Bg(3, 5, 2), Bg(5, 10, 1)}},
        {"over covers several",
         {Bg(0, 2, 1), Bg(4, 6, 3), Bg(8, 9, 4)},
         {Bg(1, 8, 2)},
         {Bg(0, 1, 1), Bg(1, 8, 2), Bg(8, 9, 4)}},
        {"one under run across two over runs",
         {Bg(0, 10, 1)},
         {Bg(1, 2, 2), Bg(4, 6, 3)},
         {Bg(0, 1, 1), Bg(1, 2, 2), Bg(2, 4, 1), Bg(4, 6, 3), Bg(6, 10, 1)}},
        {"disjoint interleave",
         {Bg(0, 1, 1), Bg(5, 6, 1)},
         {Bg(2, 3, 2), Bg(7, 8, 2)},
         {Bg(0, 1, 1), Bg(2, 3, 2), Bg(5, 6, 1), Bg(7, 8, 2)}},
        {"exactly on top", {Bg(2, 4, 1)}, {Bg(2, 4, 2)}, {Bg(2, 4, 2)}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Runs runs = row.under;
        OverlayRanges(runs, row.over);
        EXPECT_EQ(runs, row.expected);
    }
}

TEST(LineHighlighterTest, RulesColourTheirMatchesInOrderRows) {
    const Color32 red{.red = 0xFF};
    const Color32 blue{.blue = 0xFF};
    const Color32 white{.blue = 0xFF, .green = 0xFF, .red = 0xFF};
    struct Row {
        const char* name;
        std::vector<HighlightRule> rules;
        std::u16string line;
        Runs expected;
    };
    const Row rows[] = {
        {"no rules", {}, u"ERROR here", {}},
        {"one rule, both colours",
         {{.text = u"error", .foreground = white, .background = red}},
         u"an ERROR",
         {{3, 8, 0xFFFFFF, 0xFF0000}}},
        {"match case is kept",
         {{.text = u"error", .match_case = true, .background = red}},
         u"an ERROR",
         {}},
        {"rules that are off, without text or colour, or do not compile colour nothing",
         {{.text = u"a", .background = red, .enabled = false},
          {.text = u"", .background = red},
          {.text = u"a"},
          {.text = u"a(", .query_mode = 2, .background = red}},
         u"aaa",
         {}},
        {"the earlier rule lies over the later one",
         {{.text = u"bc", .background = red}, {.text = u"abcd", .background = blue}},
         u"abcde",
         {Bg(0, 1, 0x0000FF), Bg(1, 3, 0xFF0000), Bg(3, 4, 0x0000FF)}},
        {"a rule colours only lines its query matches",
         {{.text = u"error -debug", .background = red}},
         u"debug error",
         {}},
        {"a regular expression rule with text colour only",
         {{.text = u"\"[^\"]*\"", .query_mode = 2, .foreground = blue}},
         u"say \"hi\" and \"yo\"",
         {{4, 8, 0x0000FF, std::nullopt}, {13, 17, 0x0000FF, std::nullopt}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LineHighlighter highlighter(row.rules);
        Runs runs = {Bg(0, 1, 7)};  // replaced
        highlighter.RunsOf(row.line, runs);
        EXPECT_EQ(runs, row.expected);
    }
}

// A rule that would paint but does not compile is told with the engine's
// message; the rules around it still paint.
TEST(LineHighlighterTest, RulesThatDoNotCompileAreToldRows) {
    const Color32 red{.red = 0xFF};
    const HighlightRule bad{.text = u"a(", .query_mode = 2, .background = red};
    HighlightRule off = bad;
    off.enabled = false;
    HighlightRule colourless = bad;
    colourless.background.reset();
    const HighlightRule naive{.text = u"a(", .background = red};
    const HighlightRule good{.text = u"b", .background = red};
    struct Row {
        const char* name;
        std::vector<HighlightRule> rules;
        std::vector<size_t> invalid;
    };
    const Row rows[] = {
        {"valid rules", {good, naive}, {}},
        {"one that does not compile, between valid ones", {good, bad, naive}, {1}},
        {"two of them", {bad, good, bad}, {0, 2}},
        {"off or without colour: not told", {off, colourless}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LineHighlighter highlighter(row.rules);
        std::vector<size_t> told;
        for (const InvalidHighlightRule& rule : highlighter.Invalid()) {
            told.push_back(rule.index);
            EXPECT_FALSE(rule.error.empty());
            EXPECT_EQ(rule.error, HighlightRuleError(row.rules[rule.index]));
        }
        EXPECT_EQ(told, row.invalid);
        Runs runs;
        highlighter.RunsOf(u"a(b", runs);
        const bool paints = std::find(row.rules.begin(), row.rules.end(), good) != row.rules.end();
        EXPECT_EQ(runs.empty(), !paints);
    }
    EXPECT_TRUE(HighlightRuleError(good).empty());
    EXPECT_TRUE(HighlightRuleError(naive).empty());
}

TEST(LineHighlighterTest, QueryHighlightStaysOnTop) {
    LineHighlighter highlighter({{.text = u"timeout", .background = Color32{.red = 0xFF}}});
    Runs runs;
    highlighter.RunsOf(u"read timeout", runs);
    OverlayQueryHighlight(runs, {{7, 9}, {5, 8}, {20, 21}}, kQuery);
    EXPECT_EQ(runs, (Runs{Bg(5, 9, kQuery), Bg(9, 12, 0xFF0000), Bg(20, 21, kQuery)}));
}

}  // namespace
}  // namespace linesift
