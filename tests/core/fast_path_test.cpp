// The fast paths against the plain algorithm on a randomized corpus: the
// vectorised case-folding search against lower-casing a copy and searching
// it, native word-boundary checks against the engine's term patterns, the
// literal prefilter against the engine alone, the term lists against all
// pushed terms, and the filter pass (whole-text scan, several threads)
// against one Matches per line. The corpus mixes case pairs outside ASCII
// (É/é, İ/i, the Kelvin sign, Greek sigmas), non-spacing marks, surrogate
// pairs (also with case), lone surrogates and zero characters.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "filter/compiled_query.h"
#include "filter/filter_pass.h"
#include "filter/regex_pattern.h"
#include "filter/required_literals.h"
#include "filter/unit_finder.h"
#include "plain_query.h"
#include "platform/char_class.h"
#include "test_lines.h"

namespace linesift {
namespace {

using test::Lowered;
using test::PlainMatches;

const std::vector<std::u16string>& Pieces() {
    static const std::vector<std::u16string> pieces = {
        u"a",          u"A",
        u"b",          u"e",
        u"E",          u"r",
        u"R",          u"o",
        u"i",          u"I",
        u"k",          u"K",
        u"s",          u"S",
        u"_",          u"1",
        u" ",          u" ",
        u"-",          u".",
        u"#",          u"=",
        u"(",          u"\"",
        u"\u00C9",     u"\u00E9",
        u"\u0130",     u"\u0131",
        u"\u212A",     u"\u017F",
        u"\u03A3",     u"\u03C3",
        u"\u03C2",     u"\u00C5",
        u"\u212B",     u"\u0301",
        u"\u00A0",     std::u16string(1, u'\0'),
        u"\U00010400", u"\U00010428",
        u"\U0001F600", u"\xD801",
        u"\xDC00",     u"err",
        u"ERR",        u"or",
    };
    return pieces;
}

class Corpus {
  public:
    explicit Corpus(uint32_t seed) : rng_(seed) {}

    std::u16string Text(size_t maxPieces) {
        std::u16string text;
        size_t n = Below(maxPieces + 1);
        for (size_t i = 0; i < n; ++i) {
            text += Pieces()[Below(Pieces().size())];
        }
        return text;
    }
    // A naive or smart query: a few terms, some negated, some quoted.
    std::u16string Query() {
        std::u16string query;
        size_t terms = 1 + Below(3);
        for (size_t t = 0; t < terms; ++t) {
            query += Below(4) == 0 ? u" -" : u" ";
            std::u16string term = Text(3);
            query += Below(3) == 0 ? u"\"" + term + u"\"" : term;
        }
        return query;
    }
    std::u16string Regex() {
        static const std::vector<std::u16string> atoms = {
            u"\\w",   u"\\d", u"\\s", u"\\b",   u".",      u"[a-k]", u"[^e]",        u"(?:er|or)",
            u"(r|R)", u"^",   u"$",   u"(?=e)", u"(?<=r)", u"\\B",   u"[[:alpha:]]", u"\\x{e9}"};
        static const std::vector<std::u16string> quantifiers = {
            u"", u"", u"", u"*", u"+", u"?", u"{1,2}", u"{0,1}", u"{2}", u"*?"};
        std::u16string regex;
        size_t n = 1 + Below(5);
        for (size_t i = 0; i < n; ++i) {
            regex += Below(2) == 0 ? atoms[Below(atoms.size())] : EscapeRegexLiteral(Text(2));
            regex += quantifiers[Below(quantifiers.size())];
            if (Below(12) == 0) {
                regex += u"|";
            }
        }
        return regex;
    }
    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

  private:
    std::mt19937 rng_;
};

TEST(FastPathTest, UnitFinderFindsWhatLowerCasingACopyFinds) {
    Corpus corpus(20261208);
    const VectorLevel levels[] = {VectorLevel::Sse2, VectorLevel::Avx2, VectorLevel::Avx512};
    for (int round = 0; round < 30000; ++round) {
        LimitVectorLevelForTesting(levels[round % 3]);
        std::u16string haystack = corpus.Text(round % 10 == 0 ? 400 : 40);
        std::u16string needle = corpus.Text(1 + corpus.Below(3));
        if (needle.empty()) {
            continue;
        }
        CaseMap map = corpus.Below(2) == 0 ? CaseMap::Exact : CaseMap::Lower;
        if (map == CaseMap::Lower && corpus.Below(4) != 0) {
            needle = Lowered(needle);
        }
        std::u16string mapped = map == CaseMap::Lower ? Lowered(haystack) : haystack;
        UnitFinder finder(needle, map);
        size_t from = corpus.Below(haystack.size() + 2);
        ASSERT_EQ(finder.Find(haystack, from),
                  from > haystack.size() ? std::u16string::npos : mapped.find(needle, from))
            << "round " << round;
    }
    LimitVectorLevelForTesting(VectorLevel::Avx512);
}

std::vector<QueryOptions> AllOptions() {
    std::vector<QueryOptions> all;
    for (QueryMode mode : {QueryMode::Naive, QueryMode::Smart, QueryMode::Regex}) {
        for (bool matchCase : {false, true}) {
            for (bool wholeWord : {false, true}) {
                all.push_back(
                    {.match_case = matchCase, .whole_word = wholeWord, .query_mode = mode});
            }
        }
    }
    return all;
}

TEST(FastPathTest, MatchesAgreesWithThePlainAlgorithm) {
    Corpus corpus(7);
    for (int round = 0; round < 1500; ++round) {
        for (const QueryOptions& options : AllOptions()) {
            std::u16string text =
                options.query_mode == QueryMode::Regex ? corpus.Regex() : corpus.Query();
            CompiledQuery query(text, options);
            for (int l = 0; l < 6; ++l) {
                std::u16string line = corpus.Text(l == 0 ? 60 : 12);
                ASSERT_EQ(query.Matches(line), PlainMatches(text, options, line))
                    << "round " << round << " mode " << static_cast<int>(options.query_mode)
                    << " case " << options.match_case << " word " << options.whole_word;
            }
        }
    }
}

TEST(FastPathTest, NaiveSpansAgreeWithScanningALowerCasedCopy) {
    Corpus corpus(11);
    for (int round = 0; round < 3000; ++round) {
        std::u16string text = corpus.Query();
        std::u16string line = corpus.Text(30);
        CompiledQuery query(text, {});
        std::vector<MatchSpan> spans;
        query.FindSpans(line, spans);
        std::vector<MatchSpan> expected;
        std::u16string copy = Lowered(line);
        for (const QueryTerm& term :
             query.CanMatch() ? query.DisplayTerms() : std::vector<QueryTerm>()) {
            for (size_t pos = 0; !term.negated && pos < copy.size();) {
                size_t p = copy.find(term.text, pos);
                if (p == std::u16string::npos) {
                    break;
                }
                expected.push_back(
                    {static_cast<int32_t>(p), static_cast<int32_t>(p + term.text.size())});
                pos = p + term.text.size();
            }
        }
        ASSERT_EQ(spans, expected) << "round " << round;
    }
}

// Every string the literal reader finds is in every line the engine matches.
TEST(FastPathTest, RequiredLiteralsOccurInEveryMatch) {
    Corpus corpus(3);
    for (int round = 0; round < 4000; ++round) {
        std::u16string regex = corpus.Regex();
        bool icase = corpus.Below(2) == 0;
        RegexPattern p;
        if (!p.Compile(regex, icase ? RegexSyntax::PerlIcase : RegexSyntax::Perl)) {
            continue;
        }
        std::vector<std::u16string> literals = FindRequiredLiterals(regex, icase);
        for (int l = 0; l < 10; ++l) {
            std::u16string line = corpus.Text(20);
            if (!p.Test(line)) {
                continue;
            }
            for (const std::u16string& literal : literals) {
                std::u16string needle = icase ? Lowered(literal) : literal;
                std::u16string haystack = icase ? Lowered(line) : line;
                ASSERT_NE(haystack.find(needle), std::u16string::npos) << "round " << round;
            }
        }
    }
}

TEST(FastPathTest, RequiredLiteralRows) {
    using Literals = std::vector<std::u16string>;
    struct Row {
        const char* name;
        std::u16string regex;
        Literals expected;
    };
    const Row rows[] = {
        {"runs around a group", u"user=(alice|bob) status=5[0-9]{2}", {u"user=", u" status=5"}},
        {"unbounded prefix", u"\\w+Exception: ", {u"Exception: "}},
        {"optional character leaves the run", u"colou?r", {u"colo", u"r"}},
        {"plus keeps one", u"ab+c", {u"ab", u"c"}},
        {"zero repeats", u"ab{0,3}c", {u"a", u"c"}},
        {"escaped meta characters are literal", u"a\\.b\\(c", {u"a.b(c"}},
        {"top-level alternation gives nothing", u"abc|def", {}},
        {"alternation inside a group is skipped", u"x(a|b)y", {u"x", u"y"}},
        {"inline option gives nothing", u"(?i)abc", {}},
        {"verb gives nothing", u"abc(*ACCEPT)def", {}},
        {"quoting gives nothing", u"\\Qa.b\\E", {}},
        {"back reference gives nothing", u"(a)b\\1", {}},
        {"set with a bracket and a class", u"a[]b[:alpha:]]c", {u"a", u"c"}},
        {"comment", u"ab(?#x)cd", {u"ab", u"cd"}},
        {"word-boundary escapes are no literals", u"\\<ab\\>", {u"ab"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(FindRequiredLiterals(row.regex, false), row.expected);
    }
    EXPECT_EQ(FindRequiredLiterals(u"a\U00010400b", true), (Literals{u"a", u"b"}))
        << "with icase a character outside the BMP ends a run";
}

// The filter pass over lines in memory and lines read from a file, on one thread and on
// several, against Matches of each line.
TEST(FastPathTest, FilterPassAgreesWithMatchesPerLine) {
    Corpus corpus(99);
    std::vector<std::u16string> lines;
    for (int i = 0; i < 700; ++i) {
        lines.push_back(corpus.Text(i % 50 == 0 ? 300 : 14));
    }
    test::TestLines memory(lines, test::TestLines::Source::Memory);
    test::TestLines file(lines, test::TestLines::Source::File);
    for (int round = 0; round < 150; ++round) {
        for (const QueryOptions& options : AllOptions()) {
            FilterRequest request{
                .text = options.query_mode == QueryMode::Regex ? corpus.Regex() : corpus.Query(),
                .match_case = options.match_case,
                .whole_word = options.whole_word,
                .query_mode = options.query_mode};
            if (!ValidateFilterRequest(request)) {
                continue;
            }
            CompiledQuery query(request.text, options);
            std::vector<size_t> expected;
            for (size_t i = 0; i < lines.size(); ++i) {
                if (query.Matches(lines[i])) {
                    expected.push_back(i);
                }
            }
            for (size_t threshold : {size_t{0}, size_t{64}}) {
                SetParallelFilterThresholdForTesting(threshold);
                for (const test::TestLines* store : {&memory, &file}) {
                    FilterResult result;
                    ASSERT_EQ(RunFilterPass(request, store->Document(), result),
                              FilterStatus::Done);
                    ASSERT_EQ(result.shown.ToVector(), expected) << "round " << round;
                }
            }
            SetParallelFilterThresholdForTesting(0);
        }
    }
}

}  // namespace
}  // namespace linesift
