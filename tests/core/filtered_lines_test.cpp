// The list's model of a filtered document: rows among shown lines, and a
// selection that belongs to the document's lines.
#include "filter/filtered_lines.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "document/text_document.h"

namespace linesift {
namespace {

using Indices = std::vector<size_t>;

Indices Selected(const FilteredLines& lines) {
    Indices selected;
    for (LineNo i = 0; i < lines.LineCount(); ++i) {
        if (lines.IsSelected(i)) {
            selected.push_back(static_cast<size_t>(i));
        }
    }
    return selected;
}

// Lines 0..9 with the odd ones shown.
FilteredLines OddLinesShown() {
    FilteredLines lines;
    lines.Reset(10);
    FilterResult result;
    result.matched.Reset(10);
    LineBits shown;
    shown.Reset(10);
    for (size_t i = 1; i < 10; i += 2) {
        result.matched.Set(i);
        shown.Set(i);
    }
    result.shown.ShowSet(shown);
    lines.Apply(std::move(result));
    return lines;
}

TEST(FilteredLinesTest, SelectionOperationsOnShownLinesRows) {
    struct Row {
        const char* name;
        Indices before;  // selected lines before
        std::function<bool(FilteredLines&)> act;
        Indices after;
        bool changed;
    };
    const Row rows[] = {
        {"rows 1 to 2 select lines 3 and 5, hidden marks stay",
         {0, 1},
         [](FilteredLines& l) { return l.SelectShown(2, 1); },
         {0, 3, 5},
         true},
        {"the same range again changes nothing",
         {3, 5},
         [](FilteredLines& l) { return l.SelectShown(1, 2); },
         {3, 5},
         false},
        {"a row beyond the shown ones changes nothing",
         {3},
         [](FilteredLines& l) { return l.SelectShown(0, 5); },
         {3},
         false},
        {"select all adds every shown line",
         {2},
         [](FilteredLines& l) { return l.SelectAllShown(); },
         {1, 2, 3, 5, 7, 9},
         true},
        {"inverse toggles shown lines only",
         {2, 3},
         [](FilteredLines& l) { return l.InvertShown(); },
         {1, 2, 5, 7, 9},
         true},
        {"deselect clears shown lines only",
         {2, 3, 9},
         [](FilteredLines& l) { return l.DeselectShown(); },
         {2},
         true},
        {"deselect with nothing shown selected changes nothing",
         {4},
         [](FilteredLines& l) { return l.DeselectShown(); },
         {4},
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FilteredLines lines = OddLinesShown();
        for (size_t line : row.before) {
            lines.SetSelected(line, true);
        }
        EXPECT_EQ(row.act(lines), row.changed);
        EXPECT_EQ(Selected(lines), row.after);
        size_t shownSelected = 0;
        for (size_t line : row.after) {
            shownSelected += line % 2;
        }
        EXPECT_EQ(lines.SelectedShownCount(), shownSelected);
    }
}

// Rows and lines against a plain list of shown lines, for random sets that
// cross many words and directory entries.
TEST(FilteredLinesTest, RowsAndLinesAgreeWithAPlainList) {
    std::mt19937 rng(7);
    for (size_t count : {size_t{0}, size_t{1}, size_t{63}, size_t{64}, size_t{65}, size_t{5000}}) {
        for (int density : {0, 1, 50, 99, 100}) {
            SCOPED_TRACE(std::to_string(count) + " lines, " + std::to_string(density) + "%");
            LineBits bits;
            bits.Reset(count);
            Indices plain;
            for (size_t i = 0; i < count; ++i) {
                if (static_cast<int>(rng() % 100) < density) {
                    bits.Set(i);
                    plain.push_back(i);
                }
            }
            ShownLines shown;
            shown.ShowSet(bits);
            ASSERT_EQ(shown.size(), plain.size());
            EXPECT_EQ(shown.ToVector(), plain);
            for (size_t row = 0; row < plain.size(); ++row) {
                ASSERT_EQ(shown.LineAt(static_cast<ShownNo>(row)), static_cast<LineNo>(plain[row]));
                ASSERT_EQ(shown.ShownOf(static_cast<LineNo>(plain[row])),
                          static_cast<ShownNo>(row));
            }
            for (size_t line = 0; line < count; ++line) {
                if (!bits.Test(line)) {
                    ASSERT_EQ(shown.ShownOf(static_cast<LineNo>(line)), -1);
                }
            }
            FilteredLines lines;
            lines.Reset(count);
            lines.SelectAllShown();
            Indices runs;
            lines.ForEachSelectedShownRun([&runs](size_t begin, size_t end) {
                for (size_t line = begin; line < end; ++line) {
                    runs.push_back(line);
                }
            });
            EXPECT_EQ(runs.size(), count);
        }
    }
}

TEST(FilteredLinesTest, ApplyKeepsTheSelectionAndRefusesAnotherDocument) {
    FilteredLines lines = OddLinesShown();
    lines.SetSelected(4, true);
    FilterResult all;
    all.matched.Reset(10);
    all.shown.ShowAll(10);
    lines.Apply(std::move(all));
    EXPECT_FALSE(lines.IsFiltered());
    EXPECT_EQ(lines.SelectedShownCount(), 1);
    FilterResult other;
    other.matched.Reset(3);
    other.shown.ShowAll(3);
    lines.Apply(std::move(other));
    EXPECT_EQ(lines.LineCount(), 10);
}

TEST(FilteredLinesTest, CopyJoinsSelectedShownLinesWithLineFeeds) {
    struct Row {
        const char* name;
        Indices selected;
        std::u16string text;
        LineNo count;
    };
    // Lines: "", "a", "", "b", "hidden" (line 4 hidden).
    const Row rows[] = {
        {"empty lines between keep their place", {1, 2, 3}, u"a\n\nb", 3},
        {"leading empty lines add nothing", {0, 1}, u"a", 2},
        {"a hidden selected line is not copied", {3, 4}, u"b", 1},
        {"nothing selected", {}, u"", 0},
    };
    TextDocument document;
    document.LoadFromLines({u"", u"a", u"", u"b", u"hidden"});
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FilteredLines lines;
        lines.Reset(5);
        FilterResult result;
        result.matched.Reset(5);
        LineBits shown;
        shown.Reset(5);
        shown.SetRange(0, 4);
        result.shown.ShowSet(shown);
        lines.Apply(std::move(result));
        for (size_t line : row.selected) {
            lines.SetSelected(line, true);
        }
        std::u16string text;
        LineNo count = 0;
        ASSERT_EQ(CollectSelectedText(document, lines, text, count), ReadStatus::Ok);
        EXPECT_EQ(text, row.text);
        EXPECT_EQ(count, row.count);
    }
}

// Verdicts handed over in chunks show the lines as they come, context lines
// included, and end equal to the pass's whole result; the selection of
// lines stays throughout.
TEST(FilteredLinesTest, ChunksShowTheirLinesAndEndEqualToTheWholeResultRows) {
    constexpr size_t kLines = 1000;
    LineBits matched;
    matched.Reset(kLines);
    for (size_t i = 0; i < kLines; ++i) {
        if (i % 3 == 0 || (i > 600 && i < 700)) {
            matched.Set(i);
        }
    }
    LineBits sparse;  // matches next to the chunk edges 128 and 640
    sparse.Reset(kLines);
    for (size_t i : std::initializer_list<size_t>{0, 126, 127, 128, 130, 400, 637, 641, 999}) {
        sparse.Set(i);
    }
    const struct {
        const char* name;
        FilterMode mode;
        size_t before;
        size_t after;
        const LineBits& matched;
    } rows[] = {
        {"matching lines", FilterMode::HideUnmatched, 0, 0, matched},
        {"other lines", FilterMode::HideMatched, 0, 0, matched},
        {"every line", FilterMode::ShowAll, 0, 0, matched},
        {"2 lines of context", FilterMode::HideUnmatched, 2, 2, sparse},
        {"10 before, none after", FilterMode::HideUnmatched, 10, 0, sparse},
        {"none before, 10 after", FilterMode::HideUnmatched, 0, 10, sparse},
        {"context wider than a chunk", FilterMode::HideUnmatched, 200, 3, sparse},
        {"context ignored when matches hide", FilterMode::HideMatched, 3, 3, sparse},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const FilterRequest request{.text = u"x",
                                    .filter_mode = row.mode,
                                    .context_before = row.before,
                                    .context_after = row.after};
        FilterResult result;
        result.matched = row.matched;
        CollectShownLines(request, result);
        FilteredLines whole;
        whole.Reset(kLines);
        whole.Apply(result);

        FilteredLines chunked;
        chunked.Reset(kLines);
        chunked.SetSelected(5, true);
        chunked.BeginChunks(row.mode, row.before, row.after);
        EXPECT_EQ(chunked.ChunksEnd(), 0);
        EXPECT_EQ(chunked.ShownCount(), row.mode == FilterMode::ShowAll ? LineNo{kLines} : 0);
        EXPECT_EQ(chunked.HasContext(), whole.HasContext());
        // Chunks must follow on from line 0.
        EXPECT_FALSE(chunked.ApplyChunk(64, 128, {0}));
        const size_t before = row.mode == FilterMode::HideUnmatched ? row.before : 0;
        for (LineNo begin : {LineNo{0}, LineNo{128}, LineNo{640}}) {
            const LineNo end = begin == 0 ? 128 : begin == 128 ? 640 : LineNo{kLines};
            std::vector<uint64_t> words(row.matched.Words().begin() + begin / 64,
                                        row.matched.Words().begin() + (end + 63) / 64);
            ASSERT_TRUE(chunked.ApplyChunk(begin, end, words));
            EXPECT_EQ(chunked.ChunksEnd(), end);
            // The lines whose context is decided are shown exactly as the
            // whole result shows them; no other line is shown that it hides.
            for (LineNo line = 0; line < LineNo{kLines}; ++line) {
                const bool shown = chunked.ShownOf(line) >= 0;
                if (line + static_cast<LineNo>(before) < end) {
                    ASSERT_EQ(shown, whole.ShownOf(line) >= 0) << line;
                    ASSERT_EQ(chunked.IsContext(line), whole.IsContext(line)) << line;
                } else if (shown) {
                    ASSERT_GE(whole.ShownOf(line), 0) << line;
                }
                if (line < end) {
                    ASSERT_EQ(chunked.IsMatched(line), whole.IsMatched(line)) << line;
                }
            }
        }
        EXPECT_EQ(chunked.ShownCount(), whole.ShownCount());
        chunked.Apply(result);
        EXPECT_EQ(chunked.ChunksEnd(), -1);
        EXPECT_EQ(chunked.Shown().ToVector(), whole.Shown().ToVector());
        EXPECT_TRUE(chunked.IsSelected(5));
    }
}

// Growing a filtered list step by step (a followed file) gives the lines of
// filtering all of them at once, across many directory entries, with and
// without context lines.
TEST(FilteredLinesTest, AppendEqualsOneApplyOverAllLinesRows) {
    const struct {
        const char* name;
        FilterMode mode;
        size_t before;
        size_t after;
    } rows[] = {
        {"matching lines", FilterMode::HideUnmatched, 0, 0},
        {"other lines", FilterMode::HideMatched, 0, 0},
        {"every line", FilterMode::ShowAll, 0, 0},
        {"2 lines of context", FilterMode::HideUnmatched, 2, 2},
        {"10 before, 1 after", FilterMode::HideUnmatched, 10, 1},
        {"context ignored when matches hide", FilterMode::HideMatched, 3, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        std::mt19937 random(7);
        std::vector<bool> verdicts;
        FilteredLines grown;
        grown.Reset(0);
        while (verdicts.size() < 5000) {
            // The last line may be read again: its verdict can change.
            size_t from = verdicts.empty() ? 0 : verdicts.size() - random() % 2;
            size_t count = verdicts.size() - from + random() % 700;
            verdicts.resize(from + count);
            LineBits tail;
            tail.Reset(count);
            for (size_t i = 0; i < count; ++i) {
                verdicts[from + i] = random() % 23 == 0;
                if (verdicts[from + i]) {
                    tail.Set(i);
                }
            }
            const LineNo changed =
                grown.Append(static_cast<LineNo>(from), tail, row.mode, row.before, row.after);
            EXPECT_LE(changed, static_cast<LineNo>(from));
        }
        FilterResult result;
        result.matched.Reset(verdicts.size());
        for (size_t i = 0; i < verdicts.size(); ++i) {
            if (verdicts[i]) {
                result.matched.Set(i);
            }
        }
        CollectShownLines(FilterRequest{.text = u"x",
                                        .filter_mode = row.mode,
                                        .context_before = row.before,
                                        .context_after = row.after},
                          result);
        FilteredLines once;
        once.Reset(static_cast<LineNo>(verdicts.size()));
        once.Apply(std::move(result));
        ASSERT_EQ(grown.LineCount(), once.LineCount());
        ASSERT_EQ(grown.ShownCount(), once.ShownCount());
        EXPECT_EQ(grown.HasContext(), once.HasContext());
        for (ShownNo place = 0; place < once.ShownCount(); ++place) {
            ASSERT_EQ(grown.LineAt(place), once.LineAt(place)) << place;
        }
        for (LineNo line = 0; line < once.LineCount(); ++line) {
            ASSERT_EQ(grown.ShownOf(line), once.ShownOf(line)) << line;
            ASSERT_EQ(grown.IsMatched(line), once.IsMatched(line)) << line;
        }
    }
}

}  // namespace
}  // namespace linesift
