// RegexPattern and its free functions: compiling with error capture, the
// case switch, the yes/no test, searching, the highlight scan, escaping,
// wildcards and splitting.
#include "filter/regex_pattern.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

using Spans = std::vector<MatchSpan>;
using Pieces = std::vector<std::u16string>;

TEST(RegexPatternTest, FreshPatternIsInvalidAndReportsSuccess) {
    RegexPattern p;
    EXPECT_FALSE(p.IsValid());
    EXPECT_FALSE(p.HasError());
    EXPECT_EQ(p.ErrorText(), u"Success");
    EXPECT_FALSE(p.Test(u"abc"));
}

TEST(RegexPatternTest, CompileErrorKeepsPreviousExpressionAndRecordsMessage) {
    RegexPattern p;
    EXPECT_FALSE(p.Compile(u"("));
    EXPECT_FALSE(p.IsValid());
    EXPECT_NE(p.ErrorText(), u"Success");

    ASSERT_TRUE(p.Compile(u"ab"));
    EXPECT_EQ(p.ErrorText(), u"Success");
    EXPECT_FALSE(p.Compile(u"a(b"));
    EXPECT_TRUE(p.HasError());
    EXPECT_NE(p.ErrorText().find(u"parenthesis"), std::u16string::npos) << "engine message";
    EXPECT_EQ(p.ExpressionText(), u"ab");
    EXPECT_TRUE(p.Test(u"xaby"));
    EXPECT_FALSE(p.HasError()) << "every search resets the error state";
}

// Found by fuzzing: the engine's parser read past the end of a set left open
// after a range, which AddressSanitizer reports.
TEST(RegexPatternTest, SetOpenAfterRangeFailsCleanly) {
    struct Row {
        const char* name;
        std::u16string text;
        bool wildcard;
    };
    const Row rows[] = {
        {"range at the end", u"[a-z", false},
        {"range after a bracket", u"[]az-\x05", false},
        {"escaped range end", u"[a-\\", false},
        {"wildcard with an open set", u"$[]az-\x05", true},
        {"wildcard ending in a range", u"*.[0-9", true},
    };
    for (const Row& row : rows) {
        RegexPattern p;
        EXPECT_FALSE(row.wildcard ? p.CompileWildcard(row.text) : p.Compile(row.text)) << row.name;
        EXPECT_TRUE(p.HasError()) << row.name;
        EXPECT_FALSE(p.IsValid()) << row.name;
    }
}

// Found by fuzzing: \K inside a look-behind made every highlight scan (and
// splitting) search the same place forever; inside a look-ahead a match
// ended before it started (Perl refuses both). A comment after a possessive
// repeat made the engine's parser loop forever.
TEST(RegexPatternTest, MishandledConstructsAreRefused) {
    struct Row {
        const char* name;
        std::u16string text;
        bool compiles;
    };
    const Row rows[] = {
        {"in a look-behind", u"(?<=\\Kab)", false},
        {"in a look-ahead", u"(?=ab\\K)", false},
        {"in a negative look-behind", u"(?<!x\\K)y", false},
        {"in a group inside a look-ahead", u"a(?=(b|\\Kc))", false},
        {"after a look-behind", u"(?<=a)\\Kb", true},
        {"outside any group", u"a\\Kb", true},
        {"escaped parenthesis", u"\\(?=\\K", true},
        {"quoted", u"\\Q(?=\\K)\\E", true},
        {"escaped backslash", u"(?=a\\\\K)", true},
        {"comment after a possessive repeat", u"a++(?#x)b", false},
        {"comment after a possessive star and a space", u"(?x)a*+ (?#x)b", false},
        {"comment after a possessive range", u"a{2}+(?#)", false},
        {"comment after a plain repeat", u"a+(?#x)b", true},
        {"comment after an escaped plus", u"a\\++(?#x)b", true},
    };
    for (const Row& row : rows) {
        RegexPattern p;
        EXPECT_EQ(p.Compile(row.text), row.compiles) << row.name;
        EXPECT_EQ(p.HasError(), !row.compiles) << row.name;
    }
    RegexPattern keep;
    ASSERT_TRUE(keep.Compile(u"a\\Kb"));
    Spans spans;
    keep.AppendMatchSpans(u"abab", spans);
    EXPECT_EQ(spans, (Spans{{1, 2}, {3, 4}}));
}

TEST(RegexPatternTest, SetCaseSensitiveRecompilesOnlyWhenNeeded) {
    RegexPattern p;
    p.SetCaseSensitive(false);
    EXPECT_FALSE(p.IsValid());
    ASSERT_TRUE(p.Compile(u"Err"));
    EXPECT_FALSE(p.Test(u"ERR"));
    p.SetCaseSensitive(false);
    EXPECT_EQ(p.Syntax(), RegexSyntax::PerlIcase);
    EXPECT_TRUE(p.Test(u"ERR"));
    p.SetCaseSensitive(true);
    EXPECT_FALSE(p.Test(u"ERR"));
    EXPECT_TRUE(p.Test(u"Err"));
}

TEST(RegexPatternTest, TestRows) {
    struct Row {
        const char* name;
        std::u16string pattern;
        RegexSyntax syntax;
        std::u16string text;
        bool expected;
    };
    const Row rows[] = {
        {"empty text never matches, even ^$", u"^$", RegexSyntax::Perl, u"", false},
        {"empty text never matches, even .*", u".*", RegexSyntax::Perl, u"", false},
        {"caret only at the start of the text", u"^b", RegexSyntax::Perl, u"a\fb", false},
        {"dollar only at the end of the text", u"a$", RegexSyntax::Perl, u"a\u2028b", false},
        {"icase compares lower case: Kelvin sign is k", u"k", RegexSyntax::PerlIcase, u"\u212A",
         true},
        {"icase compares lower case: final sigma is not sigma", u"\u03C3", RegexSyntax::PerlIcase,
         u"\u03C2", false},
        {"icase compares lower case: Deseret pair", u"\U00010428", RegexSyntax::PerlIcase,
         u"x\U00010400", true},
        {"surrogate pair is one character", u"^.$", RegexSyntax::Perl, u"\U0001F600", true},
        {"lone surrogate is a character", u"a.b", RegexSyntax::Perl,
         u"a\xD800"
         u"b",
         true},
        {"lone surrogate elsewhere does not hide a match", u"err", RegexSyntax::Perl,
         u"\xDC00 err \xD800", true},
        {"zero character is a character", u"a.b", RegexSyntax::Perl, std::u16string(u"a\0b", 3),
         true},
        {"back reference still works", u"(a)\\1", RegexSyntax::Perl, u"xaay", true},
        {"named back reference still works", u"(?<n>ab)\\k<n>", RegexSyntax::Perl, u"abab", true},
        {"recursion still works", u"\\((?:[^()]|(?R))*\\)", RegexSyntax::Perl, u"((a))", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegexPattern p;
        ASSERT_TRUE(p.Compile(row.pattern, row.syntax))
            << std::string(p.ErrorText().begin(), p.ErrorText().end());
        EXPECT_EQ(p.Test(row.text), row.expected);
    }
}

// Lines on which the engine backtracks too much are decided by the linear
// matcher when the pattern is one it reproduces; the highlight scan and
// Search still give up on them.
TEST(RegexPatternTest, CatastrophicPatternIsDecidedLinearly) {
    const std::u16string as(40, u'a');
    struct Row {
        const char* name;
        std::u16string pattern;
        RegexSyntax syntax;
        std::u16string text;
        bool expected;
    };
    const Row rows[] = {
        {"no match", u"(a+)+c", RegexSyntax::Perl, as + u"b", false},
        {"match after the hard part", u"(a+)+c", RegexSyntax::Perl, as + u"b ac", true},
        {"match at the end", u"(a|aa)+$", RegexSyntax::Perl, as + u"b a", true},
        {"no match at the end", u"(x+x+)+y", RegexSyntax::Perl, std::u16string(30, u'x') + u" y",
         false},
        {"without case", u"(A+)+C", RegexSyntax::PerlIcase, as + u"b aC", true},
        {"case pair outside ASCII", u"(\u00C9+)+\u00C9x", RegexSyntax::PerlIcase,
         std::u16string(30, u'\u00E9') + u"y \u00E9\u00E9x", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegexPattern p;
        ASSERT_TRUE(p.Compile(row.pattern, row.syntax));
        ASSERT_FALSE(p.Search(row.text.data(), row.text.data() + row.text.size()));
        ASSERT_TRUE(p.HasError()) << "the engine gives up on this line";
        EXPECT_EQ(p.Test(row.text), row.expected);
        EXPECT_FALSE(p.HasError());
        RegexPattern fresh;
        ASSERT_TRUE(fresh.Compile(row.pattern, row.syntax));
        for (std::u16string easy : {u"ac", u"aac ", u"xxy", u"A", u"\u00C9x"}) {
            EXPECT_EQ(p.Test(easy), fresh.Test(easy)) << "a line after, decided linearly";
        }
        Spans spans;
        p.AppendMatchSpans(row.text, spans);
        EXPECT_TRUE(p.HasError()) << "highlights stay the engine's";
    }
}

// A pattern the linear matcher does not reproduce (a back reference) still
// gives up, as no match.
TEST(RegexPatternTest, CatastrophicPatternGivesUpAsNoMatch) {
    RegexPattern p;
    ASSERT_TRUE(p.Compile(u"(a+)+\\1b"));
    std::u16string text(40, u'a');
    EXPECT_FALSE(p.Test(text));
    EXPECT_TRUE(p.HasError());
    EXPECT_NE(p.ErrorText().find(u"complexity"), std::u16string::npos);
    Spans spans;
    p.AppendMatchSpans(text, spans);
    EXPECT_TRUE(spans.empty());
    EXPECT_FALSE(p.Search(text.data(), text.data() + text.size()));
    EXPECT_TRUE(p.HasError());
}

TEST(RegexPatternTest, SearchKeepsMatchAndSubMatches) {
    RegexPattern p;
    ASSERT_TRUE(p.Compile(u"(\\d+)-(x)?(\\d+)"));
    std::u16string text = u"\U0001F600 id 12-34 end";
    ASSERT_TRUE(p.Search(text.data() + 2, text.data() + text.size()));
    EXPECT_EQ(p.MatchPosition(), 4);
    EXPECT_EQ(p.MatchLength(), 5);
    Pieces subs;
    ASSERT_TRUE(p.SubMatchTexts(subs));
    EXPECT_EQ(subs, (Pieces{u"12-34", u"12", u"34"})) << "group 2 took no part";
    std::vector<SubMatch> indexed;
    ASSERT_TRUE(p.SubMatches(indexed));
    EXPECT_EQ(indexed, (std::vector<SubMatch>{{0, u"12-34"}, {1, u"12"}, {3, u"34"}}))
        << "group 3 keeps its index";

    EXPECT_FALSE(p.Search(text.data(), text.data())) << "empty range";
    EXPECT_FALSE(p.SubMatchTexts(subs));
    EXPECT_FALSE(p.SubMatches(indexed));
    EXPECT_EQ(p.MatchPosition(), -1);
}

TEST(RegexPatternTest, SearchTreatsRangeStartAsTextStart) {
    RegexPattern p;
    ASSERT_TRUE(p.Compile(u"^\\bb"));
    std::u16string text = u"ab";
    EXPECT_TRUE(p.Search(text.data() + 1, text.data() + 2));
    EXPECT_EQ(p.MatchPosition(), 0);
}

TEST(RegexPatternTest, HighlightScanRows) {
    struct Row {
        const char* name;
        std::u16string pattern;
        std::u16string text;
        Spans expected;
    };
    const Row rows[] = {
        {"digits left to right", u"\\d+", u"a1b22", {{1, 2}, {3, 5}}},
        {"caret matches only at the line start", u"^a", u"aaa", {{0, 1}}},
        {"word boundary sees the text before", u"\\bab", u"abab", {{0, 2}}},
        {"look-behind sees the text before", u"(?<=a)b", u"abab", {{1, 2}, {3, 4}}},
        {"\\A matches only at the line start", u"\\Aa", u"aaa", {{0, 1}}},
        {"empty match does not end the scan", u"a*", u"baaa", {{1, 4}}},
        {"empty matches between non-empty ones", u"x*", u"axbxx", {{1, 2}, {3, 5}}},
        {"only empty matches give nothing", u"\\b", u"ab cd", {}},
        {"empty match steps over a surrogate pair", u"b*", u"\U0001F600bb", {{2, 4}}},
        {"offsets count UTF-16 units", u"\u00E9+", u"\U0001F600\u00E9\u00E9", {{2, 4}}},
        {"empty line gives nothing", u".*", u"", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegexPattern p;
        ASSERT_TRUE(p.Compile(row.pattern));
        Spans spans;
        p.AppendMatchSpans(row.text, spans);
        EXPECT_EQ(spans, row.expected);
    }
}

TEST(RegexPatternTest, HighlightScanLeavesSearchResults) {
    RegexPattern p;
    ASSERT_TRUE(p.Compile(u"b"));
    std::u16string text = u"abc";
    ASSERT_TRUE(p.Search(text.data(), text.data() + 3));
    Spans spans;
    p.AppendMatchSpans(u"bbbb", spans);
    EXPECT_EQ(spans.size(), 4u);
    EXPECT_EQ(p.MatchPosition(), 1);
}

TEST(RegexPatternTest, CopiesShareExpressionButNotResults) {
    RegexPattern p;
    ASSERT_TRUE(p.Compile(u"b+"));
    RegexPattern q = p;
    std::u16string text = u"abbc";
    ASSERT_TRUE(q.Search(text.data(), text.data() + 4));
    EXPECT_EQ(q.MatchLength(), 2);
    EXPECT_EQ(p.MatchPosition(), -1);
    EXPECT_EQ(q.ExpressionText(), u"b+");
}

TEST(RegexPatternTest, EscapeRegexLiteralEscapesEveryMetaCharacter) {
    EXPECT_EQ(EscapeRegexLiteral(u"a.b[c]{d}(e)\\*+?|^$#-"),
              u"a\\.b\\[c\\]\\{d\\}\\(e\\)\\\\\\*\\+\\?\\|\\^\\$#-");
    std::u16string all = u".[]{}()\\*+?|^$ plain";
    RegexPattern p;
    ASSERT_TRUE(p.Compile(EscapeRegexLiteral(all)));
    EXPECT_TRUE(p.Test(u"x" + all + u"y"));
}

TEST(RegexPatternTest, WildcardToRegexRows) {
    struct Row {
        const char* name;
        std::u16string wildcard;
        std::u16string expected;
    };
    const Row rows[] = {
        {"star", u"*.log", u".*\\.log"},
        {"question mark", u"file?.txt", u"file.\\.txt"},
        {"negated set", u"[^a]x", u"[^a]x"},
        {"closing bracket first in a set", u"[]a]", u"[]a]"},
        {"unclosed set stops the conversion", u"a[bc", u"a[bc"},
        {"backslash doubled inside a set", u"[a\\b]", u"[a\\\\b]"},
        {"star and question mark kept inside a set", u"[*?]", u"[*?]"},
        {"escaped characters", u"$()+.\\^{|}", u"\\$\\(\\)\\+\\.\\\\\\^\\{\\|\\}"},
        {"other characters copied", u"a-b#c", u"a-b#c"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(WildcardToRegex(row.wildcard), row.expected);
    }
    RegexPattern p;
    ASSERT_TRUE(p.CompileWildcard(u"*.log"));
    EXPECT_TRUE(p.Test(u"app.log"));
    EXPECT_FALSE(p.Test(u"app_log"));
}

TEST(RegexPatternTest, SplitByPatternRows) {
    struct Row {
        const char* name;
        std::u16string pattern;
        std::u16string text;
        bool keepEmpty;
        Pieces expected;
    };
    const Row rows[] = {
        {"keep empty pieces", u",", u"a,,b,", true, {u"a", u"", u"b", u""}},
        {"drop empty pieces", u",", u"a,,b,", false, {u"a", u"b"}},
        {"no match is one piece", u",", u"abc", false, {u"abc"}},
        {"empty text is no piece", u",", u"", true, {}},
        {"only a match", u",", u",", true, {u"", u""}},
        {"soft line breaks", u"\r\r\n", u"one \r\r\ntwo", false, {u"one ", u"two"}},
        {"surrogate pairs kept whole",
         u"-",
         u"\U0001F600-\U0001F601",
         false,
         {u"\U0001F600", u"\U0001F601"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegexPattern p;
        ASSERT_TRUE(p.Compile(row.pattern));
        Pieces pieces = {u"stale"};
        EXPECT_EQ(SplitByPattern(p, row.text, row.keepEmpty, pieces), !row.expected.empty());
        EXPECT_EQ(pieces, row.expected);
    }
}

}  // namespace
}  // namespace linesift
