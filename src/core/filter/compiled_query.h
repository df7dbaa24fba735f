#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "filter/match_span.h"
#include "filter/regex_pattern.h"
#include "filter/unit_finder.h"

namespace linesift {

// How a query text is read. Values outside the enumerators may arrive from
// settings; such a query matches nothing.
enum class QueryMode : int32_t {
    Naive = 0,  // words and "phrases" that must occur; -word must not
    Smart = 1,  // as Naive, each term starting a word
    Regex = 2,  // a regular expression
};

// The switches beside a query text.
struct QueryOptions {
    bool match_case = false;
    bool whole_word = false;  // naive mode only
    QueryMode query_mode = QueryMode::Naive;
};

// One word or quoted phrase of a naive or smart query.
struct QueryTerm {
    std::u16string text;   // never empty
    bool negated = false;  // must not occur in a matching line

    bool operator==(const QueryTerm&) const = default;
};

// Splits a naive or smart query into terms: white space separates words
// outside double quotes, a quote ends the word before it, and a hyphen
// before a word or phrase negates it. Empty when the text has no term.
std::vector<QueryTerm> TokenizeQuery(std::u16string_view text);

// A query compiled from its text and switches: answers whether a line
// matches and which parts of it to highlight. Built once per filter pass and
// once per painted row; construction never fails, and a query that cannot
// match anything (or ran out of memory) matches no line. Matching keeps scratch space and engine
// error state, so an object serves one thread at a time; copy it for another.
class CompiledQuery {
  public:
    CompiledQuery(std::u16string_view text, const QueryOptions& options);

    // Whether line passes the query.
    bool Matches(std::u16string_view line);
    // Replaces spans by the ranges of line to highlight, ordered by term and
    // then by position (regex: by position), possibly overlapping across
    // terms. Returns whether there are any; when the query cannot match, it
    // returns false and leaves spans untouched.
    bool FindSpans(std::u16string_view line, std::vector<MatchSpan>& spans);

    // How many Matches calls so far the expression engine gave up on (its
    // complexity or memory limits); those lines did not match.
    size_t GiveUps() const { return give_ups_; }

    // False when no line can match: an empty, blank or contradictory query,
    // an invalid regular expression, or a mode out of range.
    bool CanMatch() const;

    // The query text, lower-cased in naive and smart mode with match case off
    // (a regular expression is kept as typed).
    const std::u16string& Text() const { return text_; }
    const QueryOptions& Options() const { return options_; }
    // The terms Matches evaluates and the terms FindSpans highlights.
    const std::vector<QueryTerm>& MatchTerms() const { return match_terms_; }
    const std::vector<QueryTerm>& DisplayTerms() const { return display_terms_; }

    // A literal that decides the lines lacking it, so a filter pass can scan
    // the text for it and evaluate only the lines that hold it.
    // Where a smart or whole-word term needs a word boundary: before its
    // start, or there and after its end.
    enum class Boundary : uint8_t { None, Start, Both };
    struct Prefilter {
        const UnitFinder* finder = nullptr;  // null: every line is evaluated
        bool verdict_without = false;        // Matches() of a line without it
        bool hit_decides = false;            // a line with it gets !verdict_without
        // A query of one smart or whole-word term checked without the engine:
        // a line with a hit that has the boundaries gets !verdict_without, a
        // line whose hits all lack them gets verdict_without.
        Boundary hit_boundary = Boundary::None;
    };
    Prefilter GetPrefilter() const;

  private:
    struct TermMatcher {
        UnitFinder finder;
        RegexPattern pattern;  // "\b" + term (+ "\b"); Boundary::None has none
        bool negated = false;
        bool native = true;  // boundaries checked here, without the engine
    };

    void Compile();
    void CompileTerms();
    TermMatcher MakeMatcher(const QueryTerm& term) const;
    bool Occurs(TermMatcher& x, size_t xIndex, size_t yIndex) const;
    void RemoveContradiction(std::vector<TermMatcher>& display);
    std::vector<bool> FindRedundant(std::vector<TermMatcher>& display) const;
    void CompileRegex();
    bool TermFound(TermMatcher& term, std::u16string_view line);
    void AppendSpans(std::u16string_view line, std::vector<MatchSpan>& spans);
    bool BoundaryAt(std::u16string_view line, size_t p) const;
    std::u16string_view LineCopy(std::u16string_view line);

    std::u16string text_;
    QueryOptions options_;
    Boundary boundary_ = Boundary::None;
    CaseMap map_ = CaseMap::Exact;
    RegexPattern main_pattern_;
    std::vector<QueryTerm> match_terms_;
    std::vector<QueryTerm> display_terms_;
    std::vector<TermMatcher> match_;
    std::vector<TermMatcher> display_;
    std::vector<UnitFinder> regex_literals_;  // each must occur in a matching line
    size_t regex_key_ = 0;                    // the longest of them
    std::u16string line_copy_;
    size_t give_ups_ = 0;
};

}  // namespace linesift
