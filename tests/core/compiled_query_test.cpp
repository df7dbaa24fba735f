// Query compilation (tokenizing, term lists), line matching and highlight
// spans in every mode and switch combination that changes the outcome.
#include "filter/compiled_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

using Terms = std::vector<QueryTerm>;
using Spans = std::vector<MatchSpan>;

constexpr QueryOptions kNaive{};
constexpr QueryOptions kNaiveCase{.match_case = true};
constexpr QueryOptions kWhole{.whole_word = true};
constexpr QueryOptions kSmart{.query_mode = QueryMode::Smart};
constexpr QueryOptions kRegex{.query_mode = QueryMode::Regex};
constexpr QueryOptions kRegexCase{.match_case = true, .query_mode = QueryMode::Regex};

QueryTerm Pos(std::u16string text) {
    return {std::move(text), false};
}

QueryTerm Neg(std::u16string text) {
    return {std::move(text), true};
}

TEST(TokenizeQueryTest, Rows) {
    struct Row {
        const char* name;
        std::u16string text;
        Terms expected;
    };
    const Row rows[] = {
        {"words, phrase and negated word",
         u"foo \"bar baz\" -qux",
         {Pos(u"foo"), Pos(u"bar baz"), Neg(u"qux")}},
        {"negated phrase", u"-\"a b\"", {Neg(u"a b")}},
        {"lone hyphen before a space is ignored", u"- a", {Pos(u"a")}},
        {"second hyphen keeps negation", u"--a", {Neg(u"a")}},
        {"hyphen inside a word", u"a-b", {Pos(u"a-b")}},
        {"quote ends the word before it", u"abc\"def\"", {Pos(u"abc"), Pos(u"def")}},
        {"hyphen inside quotes is text", u"\"-x\"", {Pos(u"-x")}},
        {"unclosed quote runs to the end", u"\"abc", {Pos(u"abc")}},
        {"closing quote resets a pending negation", u"-\"\" a", {Pos(u"a")}},
        {"no-break space separates words", u"a\u00A0b", {Pos(u"a"), Pos(u"b")}},
        {"white space inside quotes is kept", u"\"a\tb\"", {Pos(u"a\tb")}},
        {"only blanks", u"  \t ", {}},
        {"only hyphens", u"- --", {}},
        {"only quotes", u"\"\"", {}},
        {"empty", u"", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(TokenizeQuery(row.text), row.expected);
    }
}

TEST(CompiledQueryTest, TermListRows) {
    struct Row {
        const char* name;
        std::u16string text;
        QueryOptions options;
        Terms display;
        Terms match;
    };
    const Row rows[] = {
        {"duplicates removed after lower-casing", u"Foo FOO", kNaive, {Pos(u"foo")}, {Pos(u"foo")}},
        {"match case keeps both",
         u"Foo FOO",
         kNaiveCase,
         {Pos(u"Foo"), Pos(u"FOO")},
         {Pos(u"Foo"), Pos(u"FOO")}},
        {"negated substring of a positive term contradicts", u"foo -o", kNaive, {}, {}},
        {"negated term equal to a positive one contradicts", u"-foo foo", kNaive, {}, {}},
        {"negated superstring does not contradict",
         u"foo -foobar",
         kNaive,
         {Pos(u"foo"), Neg(u"foobar")},
         {Pos(u"foo"), Neg(u"foobar")}},
        {"positive term inside another is redundant",
         u"foobar foo",
         kNaive,
         {Pos(u"foobar"), Pos(u"foo")},
         {Pos(u"foobar")}},
        {"earlier positive term inside a later one is redundant",
         u"foo foobar",
         kNaive,
         {Pos(u"foo"), Pos(u"foobar")},
         {Pos(u"foobar")}},
        {"of two negated terms the longer is redundant",
         u"-foobar -foo",
         kNaive,
         {Neg(u"foobar"), Neg(u"foo")},
         {Neg(u"foo")}},
        {"of two negated terms the longer is redundant, either order",
         u"-foo -foobar",
         kNaive,
         {Neg(u"foo"), Neg(u"foobar")},
         {Neg(u"foo")}},
        {"smart prefix inside a word is redundant",
         u"err error",
         kSmart,
         {Pos(u"err"), Pos(u"error")},
         {Pos(u"error")}},
        {"smart term inside but not starting a word stays",
         u"rror error",
         kSmart,
         {Pos(u"rror"), Pos(u"error")},
         {Pos(u"rror"), Pos(u"error")}},
        {"smart negated term not starting a word is no contradiction",
         u"foo -o",
         kSmart,
         {Pos(u"foo"), Neg(u"o")},
         {Pos(u"foo"), Neg(u"o")}},
        {"whole word inside a phrase is redundant",
         u"a \"a.b\"",
         kWhole,
         {Pos(u"a"), Pos(u"a.b")},
         {Pos(u"a.b")}},
        {"whole word prefix is not inside",
         u"foo foobar",
         kWhole,
         {Pos(u"foo"), Pos(u"foobar")},
         {Pos(u"foo"), Pos(u"foobar")}},
        {"blank query", u"   ", kNaive, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CompiledQuery query(row.text, row.options);
        EXPECT_EQ(query.DisplayTerms(), row.display);
        EXPECT_EQ(query.MatchTerms(), row.match);
        EXPECT_EQ(query.CanMatch(), !row.match.empty());
    }
}

struct MatchRow {
    const char* name;
    std::u16string query;
    QueryOptions options;
    std::u16string line;
    bool expected;
};

void CheckMatches(const std::vector<MatchRow>& rows) {
    for (const MatchRow& row : rows) {
        SCOPED_TRACE(row.name);
        CompiledQuery query(row.query, row.options);
        EXPECT_EQ(query.Matches(row.line), row.expected);
    }
}

TEST(CompiledQueryTest, NaiveMatchRows) {
    CheckMatches({
        {"positive and negated term", u"error -debug", kNaive, u"error: disk", true},
        {"negated term present", u"error -debug", kNaive, u"debug error", false},
        {"only negated terms match an empty line", u"-debug", kNaive, u"", true},
        {"only negated terms match other lines", u"-debug", kNaive, u"info", true},
        {"match case off ignores case", u"ERR", kNaive, u"Error", true},
        {"match case on compares exactly", u"ERR", kNaiveCase, u"Error", false},
        {"Kelvin sign lower-cases to k", u"k", kNaive, u"\u212A", true},
        {"dotted capital I lower-cases to i", u"i", kNaive, u"\u0130", true},
        {"accented capital", u"\u00E9t\u00E9", kNaive, u"\u00C9T\u00C9", true},
        {"capital sigma is sigma", u"\u03C3", kNaive, u"\u03A3", true},
        {"final sigma is not sigma", u"\u03C3", kNaive, u"\u03C2", false},
        {"zero character in a term", std::u16string(u"a\0b", 3), kNaive,
         std::u16string(u"xa\0b", 4), true},
        {"blank query matches nothing", u"  ", kNaive, u"anything", false},
        {"contradiction matches nothing", u"foo -o", kNaive, u"foo", false},
        {"redundant negated term still forbids", u"-foobar -foo", kNaive, u"a foo", false},
        {"whole word needs boundaries", u"error -debug", kWhole, u"error", true},
        {"whole word never matches an empty line", u"error -debug", kWhole, u"", false},
        {"whole word escapes the full stop", u"a.b", kWhole, u"x a.b y", true},
        {"whole word rejects a longer word", u"a.b", kWhole, u"a.bc", false},
        {"whole word rejects any character for the stop", u"a.b", kWhole, u"axb", false},
        {"whole word next to a non-spacing mark is inside a word", u"e", kWhole, u"e\u0301", false},
        {"whole word next to a surrogate-pair letter", u"a", kWhole, u"\U00010400a", false},
        {"whole word next to a lone surrogate", u"a", kWhole,
         u"\xD800"
         u"a",
         true},
        {"mode out of range matches nothing", u"a", {.query_mode = QueryMode(7)}, u"a", false},
    });
}

TEST(CompiledQueryTest, SmartMatchRows) {
    CheckMatches({
        {"prefix of a word", u"err", kSmart, u"error", true},
        {"match case off", u"err", kSmart, u"Err:", true},
        {"inside a word", u"err", kSmart, u"terror", false},
        {"second occurrence starts a word", u"ab", kSmart, u"xab ab", true},
        {"number sign needs a word character before it", u"#tag", kSmart, u"#tag", false},
        {"number sign after a word character", u"#tag", kSmart, u"x#tag", true},
        {"number sign after a space", u"#tag", kSmart, u"a #tag", false},
        {"overlapping occurrences are all tried", u"aa", kSmart, u"baa aab", true},
        {"negated smart term inside a word does not forbid", u"foo -o", kSmart, u"foo", true},
        {"negated smart term starting a word forbids", u"foo -o", kSmart, u"foo ox", false},
        {"term starting with a letter outside the BMP", u"\U00010400x", kSmart, u"a \U00010400X",
         true},
        {"term outside the BMP inside a word", u"\U00010400x", kSmart, u"a\U00010400x", false},
    });
}

TEST(CompiledQueryTest, RegexMatchRows) {
    CheckMatches({
        {"invalid expression matches nothing", u"(", kRegex, u"(", false},
        {"never an empty line: ^$", u"^$", kRegex, u"", false},
        {"never an empty line: .*", u".*", kRegex, u"", false},
        {"match case off by icase", u"ERROR", kRegex, u"an error", true},
        {"match case on", u"ERROR", kRegexCase, u"an error", false},
        {"whole word is ignored",
         u"err",
         {.whole_word = true, .query_mode = QueryMode::Regex},
         u"terror",
         true},
        // Lower-casing the expression would turn each escape into its opposite.
        {"\\D keeps its meaning with match case off", u"\\D", kRegex, u"123", false},
        {"\\S keeps its meaning with match case off", u"\\S", kRegex, u"   ", false},
        {"\\W keeps its meaning with match case off", u"\\W", kRegex, u"abc", false},
        {"\\B keeps its meaning with match case off", u"a\\B", kRegex, u"ab", true},
        {"\\P{L} keeps its meaning with match case off", u"\\P{L}", kRegex, u"abc", false},
        {"back reference matches", u"(a)\\1", kRegex, u"xaa", true},
        {"catastrophic expression gives no match", u"(a+)+b", kRegex, std::u16string(60, u'a'),
         false},
        {"required literal absent", u"user=(alice|bob) status=5", kRegex, u"user=alice status=4",
         false},
        {"required literals in another case", u"user=(alice|bob) status=5", kRegex,
         u"USER=BOB STATUS=503", true},
        {"literal Kelvin sign as k", u"\\w+ok", kRegex, u"bo\u212A", true},
    });
}

TEST(CompiledQueryTest, RegexKeepsTextAsTypedWhileNaiveLowerCases) {
    EXPECT_EQ(CompiledQuery(u"\\D", kRegex).Text(), u"\\D");
    EXPECT_EQ(CompiledQuery(u"AbC", kNaive).Text(), u"abc");
    EXPECT_EQ(CompiledQuery(u"AbC", kNaiveCase).Text(), u"AbC");
}

TEST(CompiledQueryTest, FindSpansRows) {
    struct Row {
        const char* name;
        std::u16string query;
        QueryOptions options;
        std::u16string line;
        Spans expected;
    };
    const Row rows[] = {
        {"occurrences of one term do not overlap",
         u"ab",
         kNaive,
         u"ababab",
         {{0, 2}, {2, 4}, {4, 6}}},
        {"non-overlapping scan", u"aa", kNaive, u"aaaa", {{0, 2}, {2, 4}}},
        {"term order, then position, overlapping",
         u"foo foobar",
         kNaive,
         u"foobar",
         {{0, 3}, {0, 6}}},
        {"negated terms are not highlighted",
         u"foo -bar",
         kNaive,
         u"foo bar foo",
         {{0, 3}, {8, 11}}},
        {"match case off", u"ERR", kNaive, u"Error err", {{0, 3}, {6, 9}}},
        {"whole word", u"a", kWhole, u"a ab a", {{0, 1}, {5, 6}}},
        {"smart, only where a word starts", u"ab", kSmart, u"xab ab", {{4, 6}}},
        {"smart sees the text before a later range", u"ab", kSmart, u"abab", {{0, 2}}},
        {"smart with match case off", u"Err", kSmart, u"ERROR err", {{0, 3}, {6, 9}}},
        {"regex digits", u"\\d+", kRegex, u"a1b22", {{1, 2}, {3, 5}}},
        {"regex caret only at the line start", u"^a", kRegex, u"aaa", {{0, 1}}},
        {"regex empty match does not end the scan", u"a*", kRegex, u"baaa", {{1, 4}}},
        {"regex case-insensitive", u"B", kRegex, u"abAB", {{1, 2}, {3, 4}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CompiledQuery query(row.query, row.options);
        Spans spans = {{7, 8}};
        EXPECT_EQ(query.FindSpans(row.line, spans), !row.expected.empty());
        EXPECT_EQ(spans, row.expected);
    }
}

TEST(CompiledQueryTest, FindSpansLeavesListWhenQueryCannotMatch) {
    const Spans stale = {{1, 2}};
    for (auto [text, options] :
         {std::pair{u"(", kRegex}, std::pair{u"   ", kNaive}, std::pair{u"foo -o", kNaive}}) {
        SCOPED_TRACE(std::string(text, text + std::char_traits<char16_t>::length(text)));
        CompiledQuery query(text, options);
        Spans spans = stale;
        EXPECT_FALSE(query.FindSpans(u"foo (", spans));
        EXPECT_EQ(spans, stale);
    }
    CompiledQuery regex(u".*", kRegex);
    Spans spans = stale;
    EXPECT_FALSE(regex.FindSpans(u"", spans)) << "an empty line has no spans";
    EXPECT_TRUE(spans.empty());
}

}  // namespace
}  // namespace linesift
