// The rules of the filter pass: which requests are applied, which lines each
// filter mode shows, and which lines count as matched.
#include "filter/filter_pass.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_lines.h"

namespace linesift {
namespace {

using Indices = std::vector<size_t>;

Indices MatchedLines(const FilterResult& result) {
    Indices matched;
    for (size_t i = 0; i < result.matched.size(); ++i) {
        if (result.matched.Test(i)) {
            matched.push_back(i);
        }
    }
    return matched;
}

TEST(FilterPassTest, ValidateFilterRequestRows) {
    struct Row {
        const char* name;
        FilterRequest request;
        bool expected;
    };
    const Row rows[] = {
        {"empty text", FilterRequest{}, false},
        {"naive text", FilterRequest{.text = u"a("}, true},
        {"blank naive text", FilterRequest{.text = u"  "}, true},
        {"smart text", FilterRequest{.text = u"[", .query_mode = QueryMode::Smart}, true},
        {"regex that compiles", FilterRequest{.text = u"a(b)", .query_mode = QueryMode::Regex},
         true},
        {"regex that does not compile",
         FilterRequest{.text = u"a(", .query_mode = QueryMode::Regex}, false},
        {"regex with an upper-case escape",
         FilterRequest{.text = u"\\D", .query_mode = QueryMode::Regex}, true},
        {"query mode out of range", FilterRequest{.text = u"a", .query_mode = QueryMode(3)}, false},
        {"filter mode out of range", FilterRequest{.text = u"a", .filter_mode = FilterMode(-1)},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ValidateFilterRequest(row.request), row.expected);
    }
}

TEST(FilterPassTest, FilterModeRows) {
    const std::vector<std::u16string> lines = {u"error a", u"info", u"", u"debug error"};
    test::TestLines store(lines, test::TestLines::Source::Memory);
    struct Row {
        const char* name;
        std::u16string text;
        FilterMode mode;
        Indices shown;
        Indices matched;
    };
    const Row rows[] = {
        {"hide unmatched shows matching lines",
         u"error -debug",
         FilterMode::HideUnmatched,
         {0},
         {0}},
        {"hide matched shows the others", u"error -debug", FilterMode::HideMatched, {1, 2, 3}, {0}},
        {"show all shows every line", u"error -debug", FilterMode::ShowAll, {0, 1, 2, 3}, {0}},
        {"blank query, hide unmatched", u"  ", FilterMode::HideUnmatched, {}, {}},
        {"blank query, hide matched", u"  ", FilterMode::HideMatched, {0, 1, 2, 3}, {}},
        {"blank query, show all", u"  ", FilterMode::ShowAll, {0, 1, 2, 3}, {}},
        {"empty text shows every line, hide unmatched",
         u"",
         FilterMode::HideUnmatched,
         {0, 1, 2, 3},
         {}},
        {"empty text shows every line, hide matched",
         u"",
         FilterMode::HideMatched,
         {0, 1, 2, 3},
         {}},
        {"empty text ignores a bad filter mode", u"", FilterMode(9), {0, 1, 2, 3}, {}},
        {"negated only matches the empty line too",
         u"-error",
         FilterMode::HideUnmatched,
         {1, 2},
         {1, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = row.text, .filter_mode = row.mode},
                                store.Document(), result),
                  FilterStatus::Done);
        EXPECT_EQ(result.shown.ToVector(), row.shown);
        EXPECT_EQ(MatchedLines(result), row.matched);
    }
}

// A regular expression that backtracks catastrophically and that only the
// backtracking engine can decide (a back reference): the engine gives up on
// each such line, which does not match and is counted as undecided; a pass
// that saw it give up on 100 lines stops with no line matched and every line
// undecided, however the lines were split.
TEST(FilterPassTest, EngineGiveUpsCountAsUnmatchedThenStopThePass) {
    const std::u16string hard = std::u16string(40, u'a') + u"b";
    struct Row {
        const char* name;
        size_t hardLines;
        FilterMode mode;
        bool gaveUp;
        Indices matched;
        size_t undecided;
    };
    const Row rows[] = {
        {"no give-up, nothing undecided", 0, FilterMode::HideUnmatched, false, {0, 1}, 0},
        {"one give-up is one undecided line", 1, FilterMode::HideMatched, false, {0, 2}, 1},
        {"a few give-ups only fail their lines",
         99,
         FilterMode::HideUnmatched,
         false,
         {0, 100},
         99},
        {"the hundredth give-up stops the pass", 100, FilterMode::HideUnmatched, true, {}, 102},
        {"a stopped pass hides no line in hide matched",
         300,
         FilterMode::HideMatched,
         true,
         {},
         302},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::u16string> lines(row.hardLines, hard);
        lines.insert(lines.begin(), u"aaa");
        lines.push_back(u"xaa");
        test::TestLines store(lines, test::TestLines::Source::Memory);
        for (size_t threshold : {size_t{0}, size_t{64}}) {
            SetParallelFilterThresholdForTesting(threshold);
            FilterResult result;
            ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"(a+)+\\1$",
                                                  .query_mode = QueryMode::Regex,
                                                  .filter_mode = row.mode},
                                    store.Document(), result),
                      FilterStatus::Done);
            EXPECT_EQ(result.gave_up, row.gaveUp);
            EXPECT_EQ(result.undecided_lines, row.undecided);
            EXPECT_EQ(MatchedLines(result), row.matched);
            EXPECT_EQ(result.shown.size(), row.mode == FilterMode::HideMatched
                                               ? lines.size() - row.matched.size()
                                               : row.matched.size());
        }
        SetParallelFilterThresholdForTesting(0);
    }
}

// The engine gives up on some of these lines; the pass decides them all,
// matching or not, and does not stop.
TEST(FilterPassTest, LinesTheEngineGivesUpOnAreDecided) {
    const std::u16string as(40, u'a');
    std::vector<std::u16string> lines(150, as + u"b");
    lines[3] = as + u"b ac";
    lines[40] = u"ac";
    lines[77] = as + u"c";
    lines[149] = u"xx" + as + u"b aac";
    test::TestLines store(lines, test::TestLines::Source::File);
    for (size_t threshold : {size_t{0}, size_t{64}}) {
        SetParallelFilterThresholdForTesting(threshold);
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"(a+)+c", .query_mode = QueryMode::Regex},
                                store.Document(), result),
                  FilterStatus::Done);
        EXPECT_FALSE(result.gave_up);
        EXPECT_EQ(result.shown.ToVector(), (Indices{3, 40, 77, 149}));
    }
    SetParallelFilterThresholdForTesting(0);
}

TEST(FilterPassTest, QueryCountsTheEngineGiveUps) {
    CompiledQuery query(u"(x+x+)+\\1y", {.query_mode = QueryMode::Regex});
    EXPECT_FALSE(query.Matches(std::u16string(40, u'x') + u" y"));
    EXPECT_EQ(query.GiveUps(), 1u);
    EXPECT_TRUE(query.Matches(u"xxxxy"));
    EXPECT_FALSE(query.Matches(u"no y here at all"));
    EXPECT_EQ(query.GiveUps(), 1u);
}

TEST(FilterPassTest, RequestThatFailsValidationLeavesResult) {
    test::TestLines store({u"a", u"ab"}, test::TestLines::Source::Memory);
    FilterResult result;
    ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"a"}, store.Document(), result),
              FilterStatus::Done);
    const Indices before = result.shown.ToVector();
    for (const FilterRequest& bad : {FilterRequest{.text = u"a(", .query_mode = QueryMode::Regex},
                                     FilterRequest{.text = u"a", .query_mode = QueryMode(5)},
                                     FilterRequest{.text = u"a", .filter_mode = FilterMode(3)}}) {
        EXPECT_EQ(RunFilterPass(bad, store.Document(), result), FilterStatus::Invalid);
        EXPECT_EQ(result.shown.ToVector(), before);
        EXPECT_EQ(MatchedLines(result), (Indices{0, 1}));
    }
}

TEST(FilterPassTest, EmptyDocument) {
    test::TestLines store({}, test::TestLines::Source::Memory);
    FilterResult result;
    ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"a"}, store.Document(), result),
              FilterStatus::Done);
    EXPECT_TRUE(result.shown.empty());
    EXPECT_EQ(result.matched.size(), 0u);
}

// A match that would run from the end of one line into the next is no match,
// though the texts lie back to back in memory.
TEST(FilterPassTest, NoMatchAcrossLineEnds) {
    test::TestLines store({u"xxer", u"ror", u"", u"err", u"or", u"error"},
                          test::TestLines::Source::Memory);
    for (QueryMode mode : {QueryMode::Naive, QueryMode::Smart, QueryMode::Regex}) {
        SCOPED_TRACE(static_cast<int>(mode));
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"error", .query_mode = mode},
                                store.Document(), result),
                  FilterStatus::Done);
        EXPECT_EQ(result.shown.ToVector(), (Indices{5}));
    }
}

TEST(FilterPassTest, ParallelPassCoversEveryLine) {
    SetParallelFilterThresholdForTesting(64);
    for (size_t count : {64, 65, 127, 128, 129, 200, 1000}) {
        SCOPED_TRACE(count);
        test::TestLines store(std::vector<std::u16string>(count, u"x"),
                              test::TestLines::Source::Memory);
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"x"}, store.Document(), result),
                  FilterStatus::Done);
        EXPECT_EQ(result.shown.size(), count);
        EXPECT_EQ(result.matched.Count(), count);
    }
    SetParallelFilterThresholdForTesting(0);
}

TEST(FilterPassTest, LineBitsSetRangeAcrossWords) {
    LineBits bits;
    bits.Reset(200);
    bits.SetRange(3, 3);
    bits.SetRange(60, 130);
    bits.SetRange(199, 200);
    EXPECT_EQ(bits.Count(), 71u);
    EXPECT_FALSE(bits.Test(59));
    EXPECT_TRUE(bits.Test(60));
    EXPECT_TRUE(bits.Test(129));
    EXPECT_FALSE(bits.Test(130));
    EXPECT_TRUE(bits.Test(199));
}

}  // namespace
}  // namespace linesift
