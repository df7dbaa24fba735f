// The query engine: any query text, switches and lines. Compiling never
// throws; every span lies inside its line with start < end; and the fast
// paths (vector scans at each level, native word boundaries, the literal
// prefilter, the filter pass on one thread and on several) agree with the
// plain algorithm in Matches, FindSpans and the lines a pass shows.
//
// Input: a switch byte (bit 0 match case, bit 1 whole word, bits 2-3 the
// query mode, 3 being out of range; bit 4 UTF-16), then the query text, a
// line feed, and lines separated by line feeds.
#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

#include "filter/compiled_query.h"
#include "filter/filter_pass.h"
#include "fuzz_support.h"
#include "plain_query.h"
#include "test_lines.h"

namespace linesift {
namespace {

using Spans = std::vector<MatchSpan>;

// The spans the plain algorithm highlights: each display term's occurrences
// in a lower-cased copy (or, with word boundaries, the term's pattern), or
// the regular expression's successive matches.
Spans PlainSpans(CompiledQuery& query, const std::u16string& line) {
    Spans spans;
    const QueryOptions& options = query.Options();
    if (!query.CanMatch()) {
        return spans;
    }
    if (options.query_mode == QueryMode::Regex) {
        RegexPattern p;
        p.Compile(query.Text(), options.match_case ? RegexSyntax::Perl : RegexSyntax::PerlIcase);
        p.AppendMatchSpans(line, spans);
        return spans;
    }
    std::u16string copy = options.match_case ? line : test::Lowered(line);
    bool plain = options.query_mode == QueryMode::Naive && !options.whole_word;
    for (const QueryTerm& term : query.DisplayTerms()) {
        if (term.negated) {
            continue;
        }
        if (!plain) {
            std::u16string pattern = u"\\b" + EscapeRegexLiteral(term.text);
            RegexPattern p;
            p.Compile(options.query_mode == QueryMode::Naive ? pattern + u"\\b" : pattern,
                      RegexSyntax::Perl);
            p.AppendMatchSpans(copy, spans);
            continue;
        }
        for (size_t pos = 0; pos < copy.size();) {
            size_t p = copy.find(term.text, pos);
            if (p == std::u16string::npos) {
                break;
            }
            spans.push_back({static_cast<int32_t>(p), static_cast<int32_t>(p + term.text.size())});
            pos = p + term.text.size();
        }
    }
    return spans;
}

bool ModeInRange(QueryMode mode) {
    return mode == QueryMode::Naive || mode == QueryMode::Smart || mode == QueryMode::Regex;
}

// text: the query as typed.
void CheckLine(CompiledQuery& query, const std::u16string& text, const std::u16string& line) {
    const QueryOptions& options = query.Options();
    bool expected = ModeInRange(options.query_mode) && test::PlainMatches(text, options, line);
    fuzz::Check(query.Matches(line) == expected, "Matches differs from the plain algorithm");
    Spans spans;
    bool any = query.FindSpans(line, spans);
    fuzz::Check(any == !spans.empty() || !query.CanMatch(), "FindSpans answers wrongly");
    for (const MatchSpan& span : spans) {
        fuzz::Check(0 <= span.start && span.start < span.end &&
                        static_cast<size_t>(span.end) <= line.size(),
                    "a span lies outside its line or is empty");
    }
    fuzz::Check(!query.CanMatch() || spans == PlainSpans(query, line),
                "FindSpans differs from the plain algorithm");
}

// Every vector level gives the answers of the widest one.
void CheckLevels(const std::u16string& text, const QueryOptions& options,
                 const std::vector<std::u16string>& lines) {
    CompiledQuery widest(text, options);
    for (VectorLevel level : {VectorLevel::Sse2, VectorLevel::Avx2}) {
        LimitVectorLevelForTesting(level);
        CompiledQuery query(text, options);
        LimitVectorLevelForTesting(VectorLevel::Avx512);
        for (const std::u16string& line : lines) {
            Spans a;
            Spans b;
            fuzz::Check(query.Matches(line) == widest.Matches(line) &&
                            query.FindSpans(line, a) == widest.FindSpans(line, b) && a == b,
                        "vector levels disagree");
        }
    }
}

void CheckFilterPass(const FilterRequest& request, CompiledQuery& query,
                     const std::vector<std::u16string>& lines) {
    std::vector<size_t> expected;
    size_t before = query.GiveUps();
    for (size_t i = 0; i < lines.size(); ++i) {
        if (query.Matches(lines[i])) {
            expected.push_back(i);
        }
    }
    // A pass stops, matching nothing, once the engine gave up on 100 lines.
    const bool stops = query.GiveUps() - before >= 100;
    if (stops) {
        expected.clear();
    }
    // An empty text shows every line without evaluating any.
    bool valid = request.text.empty() || ValidateFilterRequest(request);
    if (request.text.empty()) {
        expected.resize(lines.size());
        std::iota(expected.begin(), expected.end(), size_t{0});
    }
    for (size_t threshold : {size_t{0}, size_t{1}}) {
        SetParallelFilterThresholdForTesting(threshold);
        for (auto source : {test::TestLines::Source::Memory, test::TestLines::Source::File}) {
            test::TestLines store(lines, source);
            FilterResult result;
            bool ran = RunFilterPass(request, store.Document(), result) == FilterStatus::Done;
            fuzz::Check(ran == valid, "the filter pass refuses a valid request or runs another");
            fuzz::Check(!ran || result.shown.ToVector() == expected,
                        "the filter pass differs from Matches per line");
            fuzz::Check(!ran || request.text.empty() || result.gave_up == stops,
                        "the filter pass stopped wrongly");
        }
    }
    SetParallelFilterThresholdForTesting(0);
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    if (size == 0) {
        return 0;
    }
    FilterRequest request{.match_case = (data[0] & 1) != 0,
                          .whole_word = (data[0] & 2) != 0,
                          .query_mode = static_cast<QueryMode>((data[0] >> 2) & 3)};
    std::vector<std::u16string> parts = fuzz::SplitAt(fuzz::InputText(data, size), u'\n');
    request.text = parts.front();
    std::vector<std::u16string> lines(parts.begin() + 1, parts.end());
    QueryOptions options{.match_case = request.match_case,
                         .whole_word = request.whole_word,
                         .query_mode = request.query_mode};
    CompiledQuery query(request.text, options);
    for (const std::u16string& line : lines) {
        CheckLine(query, request.text, line);
    }
    CheckLevels(request.text, options, lines);
    CheckFilterPass(request, query, lines);
    return 0;
}
