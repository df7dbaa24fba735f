// Filter passes that search a file's bytes before decoding lines, against
// passes that decode every line: on random files of ASCII, case pairs outside
// ASCII (the Kelvin sign, the dotted capital I, the long s), invalid UTF-8 and
// every kind of line ending, the matched lines must be the same, in every
// query mode, filter mode and way of splitting the pass.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "document/text_document.h"
#include "filter/byte_finder.h"
#include "filter/compiled_query.h"
#include "filter/filter_pass.h"
#include "platform/code_page.h"
#include "test_files.h"

namespace linesift {
namespace {

const std::vector<std::string>& LinePieces() {
    static const std::vector<std::string> pieces = {
        "a",
        "A",
        "e",
        "E",
        "r",
        "R",
        "o",
        "O",
        "k",
        "K",
        "i",
        "I",
        "s",
        "S",
        "_",
        "1",
        " ",
        "-",
        ".",
        ":",
        "=",
        "err",
        "ERR",
        "or",
        "Error",
        "debug",
        "DEBUG",
        "Exception: ",
        "user=bob",
        " status=500",
        "\xC3\x89",      // É
        "\xC3\xA9",      // é
        "\xC4\xB0",      // İ, whose lower case is i
        "\xC4\xB1",      // dotless ı
        "\xE2\x84\xAA",  // Kelvin sign, whose lower case is k
        "\xC5\xBF",      // long s
        "\xCE\xA3",
        "\xCF\x83",
        "\xCF\x82",          // sigmas
        "\xE2\x84\xAB",      // Angstrom sign
        "\xCC\x81",          // combining acute accent
        "\xF0\x90\x90\x80",  // U+10400, with a lower case outside the BMP
        "\xF0\x9F\x98\x80",  // U+1F600
        "\xC0\xAF",          // overlong '/'
        "\xE2\x41",          // a lead byte cut short by 'A'
        "\xFF",
        "\x80",
        "\xED\xA0\x80",      // a surrogate encoded
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xE2\x84",          // a Kelvin sign without its last byte
    };
    return pieces;
}

const std::vector<std::u16string>& QueryPieces() {
    static const std::vector<std::u16string> pieces = {
        u"e",      u"r",      u"o",      u"k",      u"K",     u"i",      u"I",
        u"s",      u"S",      u"err",    u"ERR",    u"error", u"debug",  u"or",
        u"_",      u"1",      u".",      u":",      u"=",     u"\u212A", u"\u0130",
        u"\u017F", u"\u00E9", u"\u03C3", u"\uFFFD", u"/",     u"ex",     u"user=",
    };
    return pieces;
}

const char* const kEndings[] = {"\n", "\r\n", "\r"};

class Corpus {
  public:
    explicit Corpus(uint32_t seed) : rng_(seed) {}

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng_); }

    // A file's bytes: lines of pieces, each ended by LF, CR LF or CR, the
    // last one sometimes without an ending.
    std::string File(size_t lines) {
        std::string bytes;
        for (size_t i = 0; i < lines; ++i) {
            size_t pieces = Below(i % 97 == 0 ? 400 : 16);
            for (size_t p = 0; p < pieces; ++p) {
                bytes += LinePieces()[Below(LinePieces().size())];
            }
            if (i + 1 < lines || Below(2) == 0) {
                bytes += kEndings[Below(3)];
            }
        }
        return bytes;
    }
    std::u16string Term() {
        std::u16string term;
        for (size_t n = 1 + Below(3); n > 0; --n) {
            term += QueryPieces()[Below(QueryPieces().size())];
        }
        return term;
    }
    std::u16string Query() {
        std::u16string query;
        for (size_t t = 1 + Below(2); t > 0; --t) {
            query += Below(4) == 0 ? u" -" : u" ";
            query += Below(5) == 0 ? u"\"" + Term() + u" " + Term() + u"\"" : Term();
        }
        return query;
    }
    std::u16string Regex() {
        static const std::vector<std::u16string> atoms = {u"\\w+", u"[a-z]", u"\\d", u"(a|bob)",
                                                          u".*",   u"\\b",   u"s?",  u"[0-9]{2}"};
        std::u16string regex;
        for (size_t n = 1 + Below(3); n > 0; --n) {
            regex += Below(2) == 0 ? atoms[Below(atoms.size())] : EscapeRegexLiteral(Term());
        }
        return regex;
    }

  private:
    std::mt19937 rng_;
};

std::vector<FilterRequest> Requests(Corpus& corpus) {
    std::vector<FilterRequest> requests;
    for (QueryMode mode : {QueryMode::Naive, QueryMode::Smart, QueryMode::Regex}) {
        for (bool matchCase : {false, true}) {
            for (bool wholeWord : {false, true}) {
                if (mode != QueryMode::Naive && wholeWord) {
                    continue;
                }
                requests.push_back(FilterRequest{
                    .text = mode == QueryMode::Regex ? corpus.Regex() : corpus.Query(),
                    .match_case = matchCase,
                    .whole_word = wholeWord,
                    .query_mode = mode,
                    .filter_mode = static_cast<FilterMode>(corpus.Below(2))});
            }
        }
    }
    return requests;
}

struct Pass {
    FilterStatus status;
    std::vector<uint64_t> matched;
    std::vector<size_t> shown;
};

Pass RunPass(const FilterRequest& request, const TextDocument& document, bool bytes) {
    SetByteScanForTesting(bytes);
    FilterResult result;
    Pass pass{RunFilterPass(request, document, result), result.matched.Words(),
              result.shown.ToVector()};
    SetByteScanForTesting(true);
    return pass;
}

// Each file as it is and with a UTF-8 byte order mark, which makes it UTF-8
// whatever its bytes; without one, invalid bytes near the start make it the
// legacy code page, which keeps ASCII too.
TEST(ByteScanTest, BytePassesAgreeWithDecodingEveryLine) {
    test::TempDir dir;
    Corpus corpus(20261209);
    size_t scanned = 0;
    for (int file = 0; file < 24; ++file) {
        std::string bytes = corpus.File(file % 4 == 0 ? 1500 : 150);
        if (file % 2 == 1) {
            bytes = "\xEF\xBB\xBF" + bytes;
        }
        TextDocument document;
        ASSERT_TRUE(document.LoadFromFile(FromNativePath(dir.Write("f.log", bytes))));
        scanned += document.HasAsciiBytes() ? 1 : 0;
        for (int round = 0; round < 12; ++round) {
            for (const FilterRequest& request : Requests(corpus)) {
                if (!ValidateFilterRequest(request)) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "file " << file << " query \"" << Utf16ToUtf8(request.text)
                             << "\" mode " << static_cast<int>(request.query_mode) << " case "
                             << request.match_case << " word " << request.whole_word);
                SetParallelFilterThresholdForTesting(round % 3 == 0 ? 64 : 0);
                Pass decoded = RunPass(request, document, false);
                Pass scannedPass = RunPass(request, document, true);
                ASSERT_EQ(scannedPass.status, FilterStatus::Done);
                ASSERT_EQ(decoded.status, FilterStatus::Done);
                ASSERT_EQ(scannedPass.matched, decoded.matched);
                ASSERT_EQ(scannedPass.shown, decoded.shown);
            }
        }
    }
    SetParallelFilterThresholdForTesting(0);
    EXPECT_GE(scanned, 12u) << "most files are read as ASCII-compatible bytes";
}

// The decoding pass against one Matches per line, so that the agreement
// above is with the query's meaning.
TEST(ByteScanTest, BytePassesAgreeWithMatchesPerLine) {
    test::TempDir dir;
    Corpus corpus(77);
    std::string bytes = "\xEF\xBB\xBF" + corpus.File(800);
    TextDocument document;
    ASSERT_TRUE(document.LoadFromFile(FromNativePath(dir.Write("f.log", bytes))));
    ASSERT_TRUE(document.HasAsciiBytes());
    for (int round = 0; round < 40; ++round) {
        for (FilterRequest request : Requests(corpus)) {
            if (!ValidateFilterRequest(request)) {
                continue;
            }
            CompiledQuery query(request.text, {.match_case = request.match_case,
                                               .whole_word = request.whole_word,
                                               .query_mode = request.query_mode});
            std::vector<size_t> expected;
            std::u16string buffer;
            for (size_t i = 0; i < document.LineCount(); ++i) {
                if (query.Matches(document.LineText(i, buffer))) {
                    expected.push_back(i);
                }
            }
            request.filter_mode = FilterMode::HideUnmatched;
            ASSERT_EQ(RunPass(request, document, true).shown, expected)
                << "query \"" << Utf16ToUtf8(request.text) << "\"";
        }
    }
}

TEST(ByteScanTest, AsciiKeyRows) {
    struct Row {
        const char* name;
        std::u16string needle;
        CaseMap map;
        std::string key;
        bool whole;
    };
    const Row rows[] = {
        {"a lower-case word", u"error", CaseMap::Lower, "error", true},
        {"the Kelvin sign lowers to k", u"kernel", CaseMap::Lower, "ernel", false},
        {"the dotted capital I lowers to i", u"ping", CaseMap::Lower, "ng", false},
        {"the long s keeps its own lower case", u"s", CaseMap::Lower, "s", true},
        {"matching case, k is only k", u"kernel", CaseMap::Exact, "kernel", true},
        {"a character outside ASCII splits the needle", u"caf\u00E9 au lac", CaseMap::Lower,
         " au lac", false},
        {"an upper-case needle unit lower-casing never gives", u"aBc", CaseMap::Lower, "a", false},
        {"line breaks never occur in a line", u"ab\ncde", CaseMap::Exact, "cde", false},
        {"nothing qualifies", u"ki", CaseMap::Lower, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AsciiKey key = FindAsciiKey(row.needle, row.map);
        EXPECT_EQ(key.bytes, row.key);
        EXPECT_EQ(key.length, row.key.size());
        EXPECT_EQ(key.Whole(row.needle), row.whole);
        EXPECT_EQ(key.fold, row.map == CaseMap::Lower);
    }
}

TEST(ByteScanTest, ByteFinderFindsWhatComparingByteByByteFinds) {
    std::mt19937 rng(5);
    auto below = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    const std::string alphabet = "aAbBeErR_ .:\x80\xC3\xE1\xFF\n";
    const VectorLevel levels[] = {VectorLevel::Sse2, VectorLevel::Avx2, VectorLevel::Avx512};
    for (int round = 0; round < 20000; ++round) {
        LimitVectorLevelForTesting(levels[round % 3]);
        std::string text;
        for (size_t n = below(round % 10 == 0 ? 500 : 90); n > 0; --n) {
            text += alphabet[below(alphabet.size())];
        }
        std::string needle;
        for (size_t n = 1 + below(4); n > 0; --n) {
            needle += "abe_ .:"[below(7)];
        }
        const bool fold = below(2) == 0;
        std::string folded = text;
        for (char& c : folded) {
            c = fold && c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        }
        ByteFinder finder(needle, fold);
        const auto* data = reinterpret_cast<const uint8_t*>(text.data());
        const size_t from = below(text.size() + 1);
        const uint8_t* hit = finder.Find(data + from, data + text.size());
        size_t expected = folded.find(needle, from);
        ASSERT_EQ(hit == nullptr ? std::string::npos : static_cast<size_t>(hit - data), expected)
            << "round " << round;
    }
    LimitVectorLevelForTesting(VectorLevel::Avx512);
}

}  // namespace
}  // namespace linesift
