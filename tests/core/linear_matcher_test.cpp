// The linear matcher against the backtracking engine: on a randomized corpus
// of patterns from the subset it decides and of lines mixing ASCII, case
// pairs outside ASCII, line separators, surrogates and zero characters, both
// must answer alike wherever the engine decides. Also which patterns it takes.
#include "filter/linear_matcher.h"

#include <gtest/gtest.h>
#include <unicode/utf16.h>
#include <boost/regex/icu.hpp>

#include <random>
#include <string>
#include <vector>

#include "filter/regex_pattern.h"
#include "platform/code_page.h"

namespace linesift {
namespace {

namespace rc = boost::regex_constants;

// Code points as the engine reads UTF-16: a lone surrogate stands for itself.
std::vector<int32_t> CodePoints(std::u16string_view text) {
    std::vector<int32_t> points;
    for (size_t i = 0; i < text.size(); ++i) {
        int32_t c = text[i];
        if (U16_IS_LEAD(c) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
            c = U16_GET_SUPPLEMENTARY(c, text[++i]);
        }
        points.push_back(c);
    }
    return points;
}

// The backtracking engine alone, compiled and run as the yes/no test runs
// it: 1 match, 0 no match, -1 gave up.
class EngineTest {
  public:
    EngineTest(std::u16string_view pattern, bool icase) {
        std::vector<int32_t> points = CodePoints(pattern);
        const UChar32* begin = points.data();
        rc::syntax_option_type flags = rc::perl | rc::nosubs | rc::no_mod_m;
        regex_ = boost::u32regex(begin, begin + points.size(), icase ? flags | rc::icase : flags);
    }
    int Decide(const std::vector<int32_t>& text) const {
        try {
            return boost::regex_search(text.data(), text.data() + text.size(), regex_) ? 1 : 0;
        } catch (const std::exception&) {
            return -1;
        }
    }

  private:
    boost::u32regex regex_;
};

// The case pairs of the fast-path tests (É/é, İ/ı, the Kelvin sign, long s,
// the sigmas, the Ångström sign, Deseret), a non-spacing mark, line
// separators, surrogates and the zero character.
const std::vector<std::u16string>& LinePieces() {
    static const std::vector<std::u16string> pieces = {
        u"a",
        u"a",
        u"A",
        u"b",
        u"c",
        u"e",
        u"E",
        u"k",
        u"K",
        u"s",
        u"S",
        u"i",
        u"I",
        u"x",
        u"_",
        u"1",
        u"7",
        u" ",
        u" ",
        u"-",
        u".",
        u"\t",
        u"\n",
        u"\r",
        u"\f",
        u"\u0085",
        u"\u2028",
        u"\u00A0",
        u"\u00C9",
        u"\u00E9",
        u"\u0130",
        u"\u0131",
        u"\u212A",
        u"\u017F",
        u"\u03A3",
        u"\u03C3",
        u"\u03C2",
        u"\u00C5",
        u"\u00E5",
        u"\u212B",
        u"\u0301",
        u"\U00010400",
        u"\U00010428",
        u"\U0001F600",
        u"\xD801",
        u"\xDC00",
        std::u16string(1, u'\0'),
    };
    return pieces;
}

class Generator {
  public:
    explicit Generator(uint32_t seed) : rng_(seed) {}

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    std::u16string Line(size_t maxPieces) {
        std::u16string line;
        for (size_t n = Below(maxPieces + 1); n > 0; --n) {
            line += LinePieces()[Below(LinePieces().size())];
        }
        return line;
    }

    std::u16string Pattern(int depth = 0) {
        std::u16string pattern = Sequence(depth);
        for (size_t n = Below(6) == 0 ? 1 + Below(2) : 0; n > 0; --n) {
            pattern += u"|" + Sequence(depth);
        }
        return pattern;
    }

  private:
    std::u16string Sequence(int depth) {
        std::u16string sequence;
        for (size_t n = 1 + Below(4); n > 0; --n) {
            sequence += Element(depth);
        }
        return sequence;
    }

    std::u16string Element(int depth) {
        static const std::vector<std::u16string> anchors = {u"^",   u"$",   u"\\A",
                                                            u"\\z", u"\\b", u"\\B"};
        switch (Below(12)) {
            case 0:
            case 1:
                if (depth < 3) {
                    std::u16string open = Below(2) == 0 ? u"(" : u"(?:";
                    return open + Pattern(depth + 1) + u")" + Repeat(2);
                }
                return Item() + Repeat(3);
            case 2:
                return anchors[Below(anchors.size())];
            case 3:
                return u"\\Q" + Line(2) + u"\\E";
            default:
                return Item() + Repeat(3);
        }
    }

    // A repeat one time in odds, lazy now and then.
    std::u16string Repeat(size_t odds) {
        static const std::vector<std::u16string> repeats = {u"*",    u"+",     u"?",    u"{2}",
                                                            u"{0,}", u"{1,3}", u"{2,}", u"{0,2}"};
        if (Below(odds) != 0) {
            return u"";
        }
        return repeats[Below(repeats.size())] + (Below(4) == 0 ? u"?" : u"");
    }

    std::u16string Item() {
        static const std::vector<std::u16string> items = {
            u".",
            u"\\w",
            u"\\W",
            u"\\d",
            u"\\D",
            u"\\s",
            u"\\S",
            u"\\h",
            u"\\v",
            u"\\t",
            u"\\x{e9}",
            u"\\xC9",
            u"\\x{212a}",
            u"\\x{10428}",
            u"\\p{Lu}",
            u"\\P{L}",
            u"\\pL",
            u"\\p{Ll}",
            u"[a-k]",
            u"[^e]",
            u"[A-Z]",
            u"[\u00C0-\u00FF]",
            u"[\\x{3c3}\\x{3a3}]",
            u"[[:alpha:]]",
            u"[[:upper:]]",
            u"[[:lower:][:digit:]]",
            u"[[:^space:]]",
            u"[]a]",
            u"[^]a-c]",
            u"[\\w\\-]",
            u"[\\s\\d.]",
            u"[\\]\\\\]",
            u"[a-]",
            u"\\.",
            u"\\-",
            u"\\ ",
            u"#",
            u"-",
            u",",
        };
        if (Below(2) == 0) {
            return items[Below(items.size())];
        }
        std::u16string literal;
        while (literal.empty()) {
            literal = LinePieces()[Below(LinePieces().size())];
        }
        return EscapeRegexLiteral(literal);
    }

    std::mt19937 rng_;
};

TEST(LinearMatcherTest, AgreesWithTheEngineWhereverItDecides) {
    Generator generator(20260611);
    size_t compared = 0;
    size_t matched = 0;
    size_t refused = 0;
    for (int round = 0; round < 2500; ++round) {
        const std::u16string pattern = generator.Pattern();
        const bool icase = round % 2 == 1;
        RegexPattern compiles;
        if (!compiles.Compile(pattern, icase ? RegexSyntax::PerlIcase : RegexSyntax::Perl)) {
            continue;
        }
        std::unique_ptr<LinearMatcher> linear = LinearMatcher::Create(CodePoints(pattern), icase);
        if (linear == nullptr) {
            ++refused;  // an assertion alone in a repeat
            continue;
        }
        EngineTest engine(pattern, icase);
        for (int l = 0; l < 12; ++l) {
            const std::u16string text = generator.Line(l == 0 ? 40 : 8);
            const std::vector<int32_t> line = CodePoints(text);
            const int expected = engine.Decide(line);
            if (expected < 0) {
                continue;
            }
            LinearMatcher::Verdict verdict = linear->Decide(line);
            ASSERT_NE(verdict, LinearMatcher::Verdict::Undecided) << "round " << round;
            ASSERT_EQ(verdict == LinearMatcher::Verdict::Match, expected == 1)
                << "round " << round << " icase " << icase << " line " << l << "\n"
                << Utf16ToUtf8(pattern) << "\n"
                << Utf16ToUtf8(text) << "\n"
                << testing::PrintToString(line);
            ++compared;
            matched += static_cast<size_t>(expected);
        }
    }
    EXPECT_LT(refused, 2500u / 5);
    EXPECT_GT(compared, 20000u);
    EXPECT_GT(matched, compared / 5) << "the corpus should match often enough to tell";
    EXPECT_LT(matched, compared * 4 / 5);
}

TEST(LinearMatcherTest, TakesOnlyPatternsItReproduces) {
    struct Row {
        const char* name;
        std::u16string pattern;
        bool taken;
    };
    const Row rows[] = {
        {"nested repeats", u"(a+)+c", true},
        {"classes, sets and anchors", u"^\\w+\\s[^\\d]{2,5}?\\b$", true},
        {"quoted text", u"\\Qa.b(\\E", true},
        {"bracket first in a set", u"[]a][^]b]", true},
        {"POSIX class", u"[[:alpha:][:^digit:]]", true},
        {"property", u"\\p{Lu}\\P{L}\\pL", true},
        {"hexadecimal escapes", u"\\x41\\x{1F600}", true},
        {"empty alternative and group", u"(|a)()b", true},
        {"assertion inside a repeat that reads", u"(?:\\ba)+(?:a\\b|b)*", true},
        {"back reference", u"(a)\\1", false},
        {"named back reference", u"(?<n>a)\\k<n>", false},
        {"look-ahead", u"a(?=b)", false},
        {"look-behind", u"(?<=a)b", false},
        {"atomic group", u"(?>a+)b", false},
        {"possessive repeat", u"a++b", false},
        {"possessive range", u"a{2}+", false},
        {"inline option", u"(?i)a", false},
        {"comment", u"a(?#x)b", false},
        {"verb", u"(*FAIL)|a", false},
        {"match start reset", u"a\\Kb", false},
        {"soft end of text", u"a\\Z", false},
        {"word start and end", u"\\<a\\>", false},
        {"buffer start and end", u"\\`a\\'", false},
        {"grapheme cluster", u"\\X", false},
        {"line break sequence", u"\\R", false},
        {"collating element", u"[[.a.]]", false},
        {"equivalence class", u"[[=a=]]", false},
        {"octal or back reference escape", u"\\01", false},
        {"repeat of a repeat", u"a**", false},
        {"repeat of quoted text", u"\\Qab\\E+", false},
        {"repeat without a minimum", u"a{,3}", false},
        {"repeat of an anchor", u"^*a", false},
        {"repeat that may read nothing but an anchor", u"(?:^|a){2}b", false},
        {"repeat that may read nothing but a boundary", u"(a?\\b)+", false},
        {"recursion", u"a(?R)?b", false},
        {"too many repeats", u"a{1001}", false},
        {"a word character escaped", u"\\y", false},
        {"unbalanced group", u"(a", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LinearMatcher::Create(CodePoints(row.pattern), false) != nullptr, row.taken);
    }
}

// Lines on which the engine gives up are decided, with the engine's meaning
// of each character: case pairs outside ASCII and word characters that are
// marks.
TEST(LinearMatcherTest, DecidesWhatTheEngineGivesUpOn) {
    const std::u16string as(40, u'a');
    struct Row {
        const char* name;
        std::u16string pattern;
        bool icase;
        std::u16string line;
        bool matches;
    };
    const Row rows[] = {
        {"nested repeat without its end", u"(a+)+c", false, as + u"b", false},
        {"nested repeat ending later", u"(a+)+c", false, as + u"b ac", true},
        {"alternation of overlapping words", u"(a|aa)+$", false, as + u"b", false},
        {"alternation reaching the end", u"(a|aa)+$", false, as + u"ba", true},
        {"case pair in a nested repeat", u"(\u00C9+)+x", true, std::u16string(30, u'\u00E9') + u"x",
         true},
        {"Kelvin sign is k without case", u"(k+)+!", true, std::u16string(30, u'\u212A') + u"!",
         true},
        {"final sigma is not sigma", u"(\u03C3+)+!", true, std::u16string(30, u'\u03C2') + u"!",
         false},
        {"a mark continues a word", u"(\\w+\\s?)+\\b!", false,
         std::u16string(30, u'e') + u"\u0301!", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EngineTest engine(row.pattern, row.icase);
        std::vector<int32_t> line = CodePoints(row.line);
        std::unique_ptr<LinearMatcher> linear =
            LinearMatcher::Create(CodePoints(row.pattern), row.icase);
        ASSERT_NE(linear, nullptr);
        EXPECT_EQ(linear->Decide(line) == LinearMatcher::Verdict::Match, row.matches);
        if (int decided = engine.Decide(line); decided >= 0) {
            EXPECT_EQ(decided == 1, row.matches) << "the engine decided this one";
        }
    }
}

// The time is linear in the line, but a large automaton over a long line
// would still take long: past a budget the line stays undecided.
TEST(LinearMatcherTest, LeavesTooMuchWorkUndecided) {
    std::unique_ptr<LinearMatcher> linear =
        LinearMatcher::Create(CodePoints(u"(?:a{1,400}){50}x"), false);
    ASSERT_NE(linear, nullptr);
    EXPECT_EQ(linear->Decide(CodePoints(std::u16string(100, u'a') + u"x")),
              LinearMatcher::Verdict::Match);
    EXPECT_EQ(linear->Decide(CodePoints(std::u16string(20000, u'a'))),
              LinearMatcher::Verdict::Undecided);
}

}  // namespace
}  // namespace linesift
