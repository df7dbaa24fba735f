// The Regex Tester's rules: what a test finds, the rows of the result page,
// and the input histories.
#include "tester/regex_tester.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

using Groups = std::vector<SubMatch>;
using Entries = std::vector<std::u16string>;

constexpr RegexTestOptions kRegex{};
constexpr RegexTestOptions kCase{.case_sensitive = true};
constexpr RegexTestOptions kWord{.whole_word = true};
constexpr RegexTestOptions kExact{.exact_match = true};
constexpr RegexTestOptions kWildcard{.regular_expression = false};
constexpr RegexTestOptions kWildcardWord{.whole_word = true, .regular_expression = false};
constexpr RegexTestOptions kWildcardExact{.exact_match = true, .regular_expression = false};

struct TestRow {
    const char* name;
    std::u16string text;
    std::u16string pattern;
    RegexTestOptions options;
    RegexTestResult result;
    Groups groups;
};

TEST(RunRegexTestTest, Rows) {
    using enum RegexTestResult;
    const std::vector<TestRow> rows = {
        {"digits: one match, no captures", u"a1b22", u"\\d+", kRegex, Match, {{0, u"1"}}},
        {"two captures",
         u"key=value",
         u"(\\w+)=(\\w+)",
         kRegex,
         Match,
         {{0, u"key=value"}, {1, u"key"}, {2, u"value"}}},
        {"case ignored by default", u"Hello", u"hello", kRegex, Match, {{0, u"Hello"}}},
        {"case sensitive", u"Hello", u"hello", kCase, NoMatch, {}},
        {"whole word skips concat", u"cat concat", u"cat", kWord, Match, {{0, u"cat"}}},
        {"whole word inside a word", u"cat concat", u"con", kWord, NoMatch, {}},
        {"group that took no part keeps the next index",
         u"5",
         u"(x)?(\\d)",
         kRegex,
         Match,
         {{0, u"5"}, {2, u"5"}}},
        {"exact match keeps an alternation inside", u"ab", u"a|b", kExact, NoMatch, {}},
        {"exact match of one alternative", u"b", u"a|b", kExact, Match, {{0, u"b"}}},
        {"exact match spans line breaks", u"abc\nxyz", u"abc", kExact, NoMatch, {}},
        {"exact match of an open quotation", u"a.b", u"\\Qa.b", kExact, Match, {{0, u"a.b"}}},
        {"whole word after a closed quotation",
         u"a.b c",
         u"\\Qa.b\\E c",
         kWord,
         Match,
         {{0, u"a.b c"}}},
        {"quotation holding a backslash", u"a\\b", u"\\Qa\\b", kExact, Match, {{0, u"a\\b"}}},
        {"wildcard", u"see notes.txt", u"*.txt", kWildcard, Match, {{0, u"see notes.txt"}}},
        {"wildcard dot is literal", u"notes_txt", u"*.txt", kWildcard, NoMatch, {}},
        {"wildcard exact match",
         u"report.txt",
         u"*.txt",
         kWildcardExact,
         Match,
         {{0, u"report.txt"}}},
        {"wildcard exact match needs the whole text",
         u"report.txt.bak",
         u"*.txt",
         kWildcardExact,
         NoMatch,
         {}},
        {"wildcard whole word", u"a cat!", u"c?t", kWildcardWord, Match, {{0, u"cat"}}},
        {"wildcard whole word inside a word", u"concat", u"c?t", kWildcardWord, NoMatch, {}},
        {"does not compile", u"(", u"(", kRegex, InvalidPattern, {}},
        {"compiles only with the additions", u"ab", u"a)(b", kExact, InvalidPattern, {}},
        {"engine gives up", std::u16string(40, u'a'), u"(a+)+b", kRegex, NoMatch, {}},
    };
    for (const TestRow& row : rows) {
        SCOPED_TRACE(row.name);
        RegexTestOutcome outcome = RunRegexTest(row.text, row.pattern, row.options);
        EXPECT_EQ(outcome.result, row.result);
        EXPECT_EQ(outcome.groups, row.groups);
    }
}

TEST(IsTesterPatternValidTest, JudgesThePatternAsTyped) {
    EXPECT_TRUE(IsTesterPatternValid(u"a(b)", true));
    EXPECT_FALSE(IsTesterPatternValid(u"a(b", true));
    EXPECT_TRUE(IsTesterPatternValid(u"a(b", false)) << "a wildcard escapes the parenthesis";
    EXPECT_FALSE(IsTesterPatternValid(u"a[bc", false)) << "an unclosed set stays open";
}

TEST(BuildResultRowsTest, NumbersCapturesByGroupAndEscapesText) {
    EXPECT_EQ(BuildResultRows({{0, u"key=value"}, {1, u"key"}, {2, u"value"}}),
              u"<tr><td>Match</td><td>key=value</td><td>$0</td></tr>"
              u"<tr><td>Capture #1</td><td>key</td><td>$1</td></tr>"
              u"<tr><td>Capture #2</td><td>value</td><td>$2</td></tr>");
    EXPECT_EQ(BuildResultRows({{0, u"<b> & \"x\""}, {12, u""}}),
              u"<tr><td>Match</td><td>&lt;b&gt;&nbsp;&amp;&nbsp;&quot;x&quot;</td><td>$0</td></tr>"
              u"<tr><td>Capture #12</td><td></td><td>$12</td></tr>");
}

TEST(FillResultPageTest, ReplacesEveryPlaceholderOnce) {
    EXPECT_EQ(FillResultPage(u"<t>$_PLACE_HOLDER_$</t>$_PLACE_HOLDER_$", u"R"), u"<t>R</t>R");
    EXPECT_EQ(FillResultPage(u"a$_PLACE_HOLDER_$b", u"$_PLACE_HOLDER_$"), u"a$_PLACE_HOLDER_$b")
        << "a sample that spells the placeholder is shown as it is";
    EXPECT_EQ(FillResultPage(u"no rows here", u"R"), u"no rows here");
}

TEST(AddToTesterHistoryTest, NewestFirstWithoutRepeats) {
    Entries entries;
    AddToTesterHistory(entries, u"a");
    AddToTesterHistory(entries, u"b");
    AddToTesterHistory(entries, u"a");
    EXPECT_EQ(entries, (Entries{u"a", u"b"}));
    AddToTesterHistory(entries, u"");
    EXPECT_EQ(entries, (Entries{u"a", u"b"})) << "empty text is not kept";
}

TEST(AddToTesterHistoryTest, LetterCaseMakesEntriesDiffer) {
    Entries entries{u"\\d"};
    AddToTesterHistory(entries, u"\\D");
    EXPECT_EQ(entries, (Entries{u"\\D", u"\\d"}));
}

TEST(AddToTesterHistoryTest, FiftyFirstEntryDropsTheOldest) {
    Entries entries;
    for (int i = 0; i < 51; ++i) {
        std::string n = std::to_string(i);
        AddToTesterHistory(entries, std::u16string(n.begin(), n.end()));
    }
    ASSERT_EQ(entries.size(), kTesterHistoryLimit);
    EXPECT_EQ(entries.front(), u"50");
    EXPECT_EQ(entries.back(), u"1");
}

TEST(RepairTesterHistoryTest, DropsEmptyAndRepeatedEntriesAndCuts) {
    EXPECT_EQ(RepairTesterHistory({u"b", u"", u"a", u"b", u"B"}), (Entries{u"b", u"a", u"B"}));
    Entries many;
    for (int i = 0; i < 60; ++i) {
        many.push_back(std::u16string(1, static_cast<char16_t>(u'A' + i)));
    }
    Entries repaired = RepairTesterHistory(many);
    ASSERT_EQ(repaired.size(), kTesterHistoryLimit);
    EXPECT_EQ(repaired.back(), many[kTesterHistoryLimit - 1]);
}

}  // namespace
}  // namespace linesift
