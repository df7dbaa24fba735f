// Reading tools over the filtered lines: context lines around matches, Find
// Next and Previous, separators between groups, and Go to Line.
#include "filter/line_navigation.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "test_lines.h"

namespace linesift {
namespace {

using Indices = std::vector<size_t>;

// Lines "m" (matching "m") at the given indices among count lines "-".
std::vector<std::u16string> LinesMatchingAt(size_t count, const Indices& at) {
    std::vector<std::u16string> lines(count, u"-");
    for (size_t i : at) {
        lines[i] = u"m";
    }
    return lines;
}

FilteredLines Filtered(const test::TestLines& store, const FilterRequest& request) {
    FilterResult result;
    EXPECT_EQ(RunFilterPass(request, store.Document(), result), FilterStatus::Done);
    FilteredLines lines;
    lines.Reset(store.Document().LineCount());
    lines.Apply(std::move(result));
    return lines;
}

TEST(ContextLinesTest, ShownLinesAreMatchesWithTheirContextRows) {
    struct Row {
        const char* name;
        size_t count;
        Indices matched;
        size_t before, after;
        FilterMode mode;
        Indices shown;
        Indices context;
    };
    const Row rows[] = {
        {"no context", 10, {3, 7}, 0, 0, FilterMode::HideUnmatched, {3, 7}, {}},
        {"one before and after",
         10,
         {3, 7},
         1,
         1,
         FilterMode::HideUnmatched,
         {2, 3, 4, 6, 7, 8},
         {2, 4, 6, 8}},
        {"after only, clipped at the end", 10, {8}, 0, 3, FilterMode::HideUnmatched, {8, 9}, {9}},
        {"before only, clipped at the start",
         10,
         {1},
         5,
         0,
         FilterMode::HideUnmatched,
         {0, 1},
         {0}},
        {"overlapping groups join",
         10,
         {2, 5},
         2,
         2,
         FilterMode::HideUnmatched,
         {0, 1, 2, 3, 4, 5, 6, 7},
         {0, 1, 3, 4, 6, 7}},
        {"context ignored when matched lines are hidden",
         6,
         {2},
         1,
         1,
         FilterMode::HideMatched,
         {0, 1, 3, 4, 5},
         {}},
        {"context ignored when all lines are shown",
         4,
         {2},
         1,
         1,
         FilterMode::ShowAll,
         {0, 1, 2, 3},
         {}},
        {"more context than lines",
         3,
         {1},
         1000,
         1000,
         FilterMode::HideUnmatched,
         {0, 1, 2},
         {0, 2}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestLines store(LinesMatchingAt(row.count, row.matched),
                              test::TestLines::Source::Memory);
        FilteredLines lines = Filtered(store, {.text = u"m",
                                               .filter_mode = row.mode,
                                               .context_before = row.before,
                                               .context_after = row.after});
        EXPECT_EQ(lines.Shown().ToVector(), row.shown);
        Indices context;
        for (size_t i = 0; i < row.count; ++i) {
            if (lines.IsContext(i)) {
                context.push_back(i);
            }
        }
        EXPECT_EQ(context, row.context);
    }
}

// Widening across word edges and by many lines agrees with the definition.
TEST(ContextLinesTest, WidenAgreesWithLineByLineRandomly) {
    std::mt19937 random(17);
    for (int round = 0; round < 200; ++round) {
        const size_t count = 1 + random() % 400;
        const size_t before = random() % 140;
        const size_t after = random() % 140;
        LineBits bits;
        bits.Reset(count);
        for (size_t i = 0; i < count; ++i) {
            if (random() % 37 == 0) {
                bits.Set(i);
            }
        }
        LineBits widened = bits;
        widened.Widen(before, after);
        for (size_t i = 0; i < count; ++i) {
            bool expected = false;
            for (size_t m = (i > after ? i - after : 0); m <= i + before && m < count; ++m) {
                expected |= bits.Test(m);
            }
            ASSERT_EQ(widened.Test(i), expected)
                << "line " << i << " of " << count << ", -B " << before << " -A " << after;
        }
        ASSERT_EQ(widened.Words().back() & ~widened.LastWordMask(), 0u);
    }
}

TEST(ContextLinesTest, SeparatorsGoWhereShownGroupsAreNotAdjacent) {
    test::TestLines store(LinesMatchingAt(20, {2, 4, 12}), test::TestLines::Source::Memory);
    FilteredLines lines =
        Filtered(store, {.text = u"m", .context_before = 1, .context_after = 1});  // 1-5, 11-13
    std::vector<bool> starts;
    for (ShownNo row = 0; row < lines.ShownCount(); ++row) {
        starts.push_back(StartsShownGroup(lines, row));
    }
    EXPECT_EQ(starts, (std::vector<bool>{false, false, false, false, false, true, false, false}));
    FilteredLines plain = Filtered(store, {.text = u"m"});
    EXPECT_FALSE(StartsShownGroup(plain, 2)) << "no separators without context";
}

TEST(ContextLinesTest, ReshownResultChangesModeAndContextWithoutAPass) {
    test::TestLines store(LinesMatchingAt(8, {2, 6}), test::TestLines::Source::Memory);
    FilteredLines lines = Filtered(store, {.text = u"m"});
    // The mode and context of each request; the text stays "m".
    struct Row {
        const char* name;
        FilterMode mode;
        size_t context_after;
        Indices shown;
        bool context;
    };
    const Row rows[] = {
        {"show all", FilterMode::ShowAll, 0, {0, 1, 2, 3, 4, 5, 6, 7}, false},
        {"context after", FilterMode::HideUnmatched, 1, {2, 3, 6, 7}, true},
        {"matched hidden", FilterMode::HideMatched, 0, {0, 1, 3, 4, 5, 7}, false},
        {"back to matches only", FilterMode::HideUnmatched, 0, {2, 6}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FilterRequest request{.text = u"m", .filter_mode = row.mode};
        request.context_after = row.context_after;
        lines.Apply(ReshownResult(lines, request));
        EXPECT_EQ(lines.Shown().ToVector(), row.shown);
        EXPECT_EQ(lines.HasContext(), row.context);
        EXPECT_TRUE(lines.IsMatched(2) && lines.IsMatched(6) && !lines.IsMatched(3));
    }
}

TEST(FindMatchedShownTest, StepsAndWrapsRows) {
    // Matching lines 2, 5 and 9 of 12.
    test::TestLines store(LinesMatchingAt(12, {2, 5, 9}), test::TestLines::Source::Memory);
    const FilteredLines all = Filtered(store, {.text = u"m", .filter_mode = FilterMode::ShowAll});
    const FilteredLines only = Filtered(store, {.text = u"m"});
    const FilteredLines context = Filtered(store, {.text = u"m", .context_before = 1});
    const FilteredLines hidden =
        Filtered(store, {.text = u"m", .filter_mode = FilterMode::HideMatched});
    struct Row {
        const char* name;
        const FilteredLines& lines;
        int64_t from;
        bool forward;
        int64_t row;
        bool wrapped;
    };
    const Row rows[] = {
        {"show all: next from no caret is the first match", all, -1, true, 2, false},
        {"show all: next from a match", all, 2, true, 5, false},
        {"show all: next from between matches", all, 6, true, 9, false},
        {"show all: next from the last match wraps", all, 9, true, 2, true},
        {"show all: previous from no caret is the last match", all, -1, false, 9, false},
        {"show all: previous from a match", all, 9, false, 5, false},
        {"show all: previous from the first match wraps", all, 2, false, 9, true},
        {"show all: previous from above the first match wraps", all, 0, false, 9, true},
        {"matches only: next row", only, 0, true, 1, false},
        {"matches only: wraps past the last row", only, 2, true, 0, true},
        {"context: skips the context rows", context, 1, true, 3, false},  // rows 1,2 4,5 8,9
        {"context: previous from a context row", context, 2, false, 1, false},
        {"matched lines hidden: nothing to find", hidden, 0, true, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ShownStep step = FindMatchedShown(row.lines, row.from, row.forward);
        EXPECT_EQ(step.shown, row.row);
        EXPECT_EQ(step.wrapped, row.wrapped);
    }
    FilteredLines one = Filtered(store, {.text = u"m -m"});
    EXPECT_EQ(FindMatchedShown(one, 0, true).shown, -1) << "no line matches";
}

// From a caret line the filter hides, the search goes on from where that
// line lies in the document.
TEST(FindMatchedShownTest, StepsFromAHiddenCaretLineRows) {
    // Matching lines 2, 5 and 9 of 12; only those shown.
    test::TestLines store(LinesMatchingAt(12, {2, 5, 9}), test::TestLines::Source::Memory);
    const FilteredLines only = Filtered(store, {.text = u"m"});
    struct Row {
        const char* name;
        int64_t line;
        bool forward;
        int64_t row;
        bool wrapped;
    };
    const Row rows[] = {
        {"next from a hidden line between matches", 3, true, 1, false},
        {"previous from a hidden line between matches", 7, false, 1, false},
        {"next from a hidden line past the last match wraps", 10, true, 0, true},
        {"previous from a hidden line above the first match wraps", 0, false, 2, true},
        {"next from a shown match", 5, true, 2, false},
        {"no caret line", -1, true, 0, false},
        {"a line beyond the document counts as none", 12, false, 2, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ShownStep step = FindMatchedFromLine(only, row.line, row.forward);
        EXPECT_EQ(step.shown, row.row);
        EXPECT_EQ(step.wrapped, row.wrapped);
    }
}

TEST(FindMatchedShownTest, FindsAMatchFarAwayAcrossManyWords) {
    std::vector<std::u16string> text(300000, u"-");
    text[3] = text[299990] = u"m";
    test::TestLines store(text, test::TestLines::Source::Memory);
    FilteredLines all = Filtered(store, {.text = u"m", .filter_mode = FilterMode::ShowAll});
    EXPECT_EQ(FindMatchedShown(all, 3, true).shown, 299990);
    EXPECT_EQ(FindMatchedShown(all, 299990, false).shown, 3);
    EXPECT_EQ(FindMatchedShown(all, 299999, true).shown, 3);
}

TEST(FindLineNumberTest, ReadsOneBasedNumbersRows) {
    test::TestLines store(LinesMatchingAt(1500, {0, 1233}), test::TestLines::Source::Memory);
    FilteredLines lines = Filtered(store, {.text = u"m"});
    struct Row {
        const char* name;
        std::u16string text;
        LineTarget::Status status;
        size_t line;
        int64_t row;
    };
    const Row rows[] = {
        {"first line", u"1", LineTarget::kOk, 0, 0},
        {"with spaces and a group separator", u"  1,234 ", LineTarget::kOk, 1233, 1},
        {"a line the filter hides", u"1500", LineTarget::kOk, 1499, -1},
        {"zero", u"0", LineTarget::kOutOfRange, 0, -1},
        {"past the end", u"1501", LineTarget::kOutOfRange, 0, -1},
        {"huge", u"99999999999999999999999", LineTarget::kOutOfRange, 0, -1},
        {"empty", u"", LineTarget::kNotANumber, 0, -1},
        {"negative", u"-3", LineTarget::kNotANumber, 0, -1},
        {"letters", u"12a", LineTarget::kNotANumber, 0, -1},
        {"separator first", u",12", LineTarget::kNotANumber, 0, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LineTarget target = FindLineNumber(lines, row.text);
        EXPECT_EQ(target.status, row.status);
        if (row.status == LineTarget::kOk) {
            EXPECT_EQ(target.line, row.line);
            EXPECT_EQ(target.shown, row.row);
        }
    }
}

}  // namespace
}  // namespace linesift
