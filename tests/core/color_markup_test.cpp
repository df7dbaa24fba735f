#include <gtest/gtest.h>

#include "markup/color_markup.h"

namespace linesift {
namespace {

TEST(HtmlEscapeTest, EscapesTheSixCharactersAndRoundTrips) {
    EXPECT_EQ(HtmlEscape(u"a & \"b\" <c>\n"),
              u"a&nbsp;&amp;&nbsp;&quot;b&quot;&nbsp;&lt;c&gt;<br>");
    for (std::u16string text :
         {u"", u"&amp; literally", u"<br> and &nbsp;", u"x\n\n y&&", u"&lt;&gt;"}) {
        EXPECT_EQ(HtmlUnescape(HtmlEscape(text)), text);
    }
}

struct BuildRow {
    const char* name;
    std::u16string line;
    int64_t start;
    int64_t end;
    std::vector<HighlightRange> ranges;
    std::u16string markup;
};

TEST(BuildHighlightMarkupTest, Rows) {
    const std::vector<BuildRow> rows = {
        {"match at end closes the tag",
         u"an error",
         0,
         8,
         {{3, 8}},
         u"an&nbsp;<color bg=#FEE300>error</color>"},
        {"whole line is one tag", u"err", 0, 3, {{0, 3}}, u"<color bg=#FEE300>err</color>"},
        {"overlapping spans make one run",
         u"abcdef",
         0,
         6,
         {{1, 4}, {2, 5}},
         u"a<color bg=#FEE300>bcde</color>f"},
        {"unordered adjacent spans merge",
         u"abcdef",
         0,
         6,
         {{3, 4}, {1, 3}},
         u"a<color bg=#FEE300>bcd</color>ef"},
        {"special characters stay literal",
         u"<a&\">",
         0,
         5,
         {{1, 3}},
         u"&lt;<color bg=#FEE300>a&amp;</color>&quot;&gt;"},
        {"a piece highlights only its part",
         u"abcdef",
         2,
         4,
         {{0, 3}},
         u"<color bg=#FEE300>c</color>d"},
        {"range outside the line is empty", u"abc", 2, 5, {{0, 1}}, u""},
        {"empty range is empty", u"abc", 1, 1, {}, u""},
    };
    for (const BuildRow& row : rows) {
        EXPECT_EQ(BuildHighlightMarkup(row.line, row.start, row.end, row.ranges, 0xFEE300),
                  row.markup)
            << row.name;
    }
}

struct MergeRow {
    const char* name;
    std::vector<HighlightRange> ranges;
    std::vector<std::pair<int64_t, int64_t>> merged;
};

TEST(MergeHighlightRangesTest, Rows) {
    const std::vector<MergeRow> rows = {
        {"none", {}, {}},
        {"disjoint ranges are sorted", {{5, 7}, {0, 2}}, {{0, 2}, {5, 7}}},
        {"touching ranges merge", {{2, 4}, {0, 2}}, {{0, 4}}},
        {"a range inside another vanishes", {{0, 10}, {3, 4}}, {{0, 10}}},
        {"a chain of overlaps is one run", {{6, 9}, {0, 3}, {2, 7}, {12, 13}}, {{0, 9}, {12, 13}}},
        {"duplicates merge", {{1, 2}, {1, 2}}, {{1, 2}}},
    };
    for (const MergeRow& row : rows) {
        std::vector<HighlightRange> ranges = row.ranges;
        MergeHighlightRanges(ranges);
        std::vector<std::pair<int64_t, int64_t>> got;
        for (const HighlightRange& r : ranges) {
            got.emplace_back(r.start, r.end);
        }
        EXPECT_EQ(got, row.merged) << row.name;
    }
}

TEST(ParseMarkupTest, TagsAttributesAndLiteralText) {
    auto segments = ParseMarkup(
        u"a<color fg=#FF0000 bg=#0000ff>x</color>b<color>y</color><color bg=#123456></color>");
    ASSERT_EQ(segments.size(), 5u);
    EXPECT_EQ(segments[0].text, u"a");
    EXPECT_FALSE(segments[0].background.has_value());
    EXPECT_EQ(segments[1].text, u"x");
    EXPECT_EQ(segments[1].foreground, 0xFF0000u);
    EXPECT_EQ(segments[1].background, 0x0000FFu);
    EXPECT_EQ(segments[2].text, u"b");
    EXPECT_EQ(segments[3].text, u"y");
    EXPECT_FALSE(segments[3].foreground.has_value());
    EXPECT_EQ(segments[4].text, u"<color bg=#123456></color>");
}

TEST(ParseMarkupTest, SecondAttributeOfTheSameSideWinsAndTextIsCovered) {
    auto segments = ParseMarkup(u"<color bg=#000001 bg=#000002>z</color>");
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].background, 0x000002u);
    std::u16string text = u"<color bg=#FEE300>a</color> <colour> <color bg=#FEE30>b</color>";
    std::u16string joined;
    for (const auto& s : ParseMarkup(text)) {
        joined += s.text;
    }
    EXPECT_EQ(joined, u"a <colour> <color bg=#FEE30>b</color>");
}

// Found by fuzzing: a lone surrogate (which a line of a UTF-16 file may hold)
// made the engine throw out of ParseMarkup.
TEST(ParseMarkupTest, LoneSurrogatesAreOrdinaryCharacters) {
    struct Row {
        const char* name;
        std::u16string markup;
        std::vector<std::u16string> texts;
    };
    const std::vector<Row> rows = {
        {"lead in a tag", u"<color bg=#FEE300>\xD83C</color>&nbsp;", {u"\xD83C", u"&nbsp;"}},
        {"trail in plain text", u"\xDC00<color>a</color>", {u"\xDC00", u"a"}},
        {"pair and lone units",
         u"\xD800\U0001F600<color fg=#000000>\xDFFF\xD800</color>",
         {u"\xD800\U0001F600", u"\xDFFF\xD800"}},
    };
    for (const Row& row : rows) {
        std::vector<std::u16string> texts;
        for (const MarkupSegment& segment : ParseMarkup(row.markup)) {
            texts.push_back(segment.text);
        }
        EXPECT_EQ(texts, row.texts) << row.name;
    }
}

}  // namespace
}  // namespace linesift
