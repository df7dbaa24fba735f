#include "filter/compiled_query.h"

#include <unicode/utf16.h>

#include <algorithm>
#include <climits>
#include <new>

#include "filter/required_literals.h"
#include "platform/char_class.h"

namespace linesift {
namespace {

// The code point that begins at p, as the engine reads the mapped line.
char32_t CodePointAt(std::u16string_view s, size_t p, CaseMap map) {
    char16_t u = s[p];
    if (U16_IS_LEAD(u) && p + 1 < s.size() && U16_IS_TRAIL(s[p + 1])) {
        return U16_GET_SUPPLEMENTARY(u, s[p + 1]);
    }
    return MapUnit(map, u);
}

// The code point that ends at p (p > 0).
char32_t CodePointBefore(std::u16string_view s, size_t p, CaseMap map) {
    char16_t u = s[p - 1];
    if (U16_IS_TRAIL(u) && p >= 2 && U16_IS_LEAD(s[p - 2])) {
        return U16_GET_SUPPLEMENTARY(s[p - 2], u);
    }
    return MapUnit(map, u);
}

bool HasSurrogate(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return U16_IS_SURROGATE(c); });
}

// Every occurrence of the finder's needle, left to right, not overlapping.
void AppendOccurrences(const UnitFinder& finder, std::u16string_view line,
                       std::vector<MatchSpan>& spans) {
    const size_t m = finder.Needle().size();
    for (size_t pos = 0; pos < line.size();) {
        size_t p = finder.Find(line, pos);
        if (p == UnitFinder::npos || p + m > static_cast<size_t>(INT32_MAX)) {
            return;
        }
        spans.push_back({static_cast<int32_t>(p), static_cast<int32_t>(p + m)});
        pos = p + m;
    }
}

}  // namespace

std::vector<QueryTerm> TokenizeQuery(std::u16string_view text) {
    std::vector<QueryTerm> terms;
    std::u16string token;
    bool negated = false;
    bool quoted = false;
    auto push = [&] {
        terms.push_back({token, negated});
        token.clear();
        negated = false;
    };
    for (char16_t c : text) {
        if (c == u'"') {
            quoted = !quoted;
            if (!token.empty()) {
                push();
            } else if (!quoted) {
                negated = false;
            }
        } else if (c == u'-' && !quoted && token.empty()) {
            negated = true;
        } else if (!quoted && IsWhiteSpaceUnit(c)) {
            if (!token.empty()) {
                push();
            }
            negated = false;
        } else {
            token.push_back(c);
        }
    }
    if (!token.empty()) {
        push();
    }
    return terms;
}

CompiledQuery::CompiledQuery(std::u16string_view text, const QueryOptions& options)
    : options_(options) {
    try {
        text_ = text;
        Compile();
    } catch (const std::bad_alloc&) {
        // Out of memory: a query that matches nothing.
        match_.clear();
        display_.clear();
        match_terms_.clear();
        display_terms_.clear();
        regex_literals_.clear();
        main_pattern_ = RegexPattern();
    }
}

void CompiledQuery::Compile() {
    switch (options_.query_mode) {
        case QueryMode::Regex:
            CompileRegex();
            break;
        case QueryMode::Naive:
        case QueryMode::Smart:
            if (!options_.match_case) {
                LowerCaseInPlace(text_);
                map_ = CaseMap::Lower;
            }
            boundary_ = options_.query_mode == QueryMode::Smart ? Boundary::Start
                        : options_.whole_word                   ? Boundary::Both
                                                                : Boundary::None;
            CompileTerms();
            break;
    }
}

// The text is compiled as typed: case-insensitivity comes from the syntax
// alone, so escapes such as \D and \S keep their meaning.
void CompiledQuery::CompileRegex() {
    const bool icase = !options_.match_case;
    main_pattern_.Compile(text_, icase ? RegexSyntax::PerlIcase : RegexSyntax::Perl);
    if (!main_pattern_.IsValid()) {
        return;
    }
    for (std::u16string literal : FindRequiredLiterals(text_, icase)) {
        if (icase) {
            LowerCaseInPlace(literal);
        }
        regex_literals_.emplace_back(literal, icase ? CaseMap::Lower : CaseMap::Exact);
        if (literal.size() > regex_literals_[regex_key_].Needle().size()) {
            regex_key_ = regex_literals_.size() - 1;
        }
    }
}

void CompiledQuery::CompileTerms() {
    for (QueryTerm& term : TokenizeQuery(text_)) {
        if (std::find(display_terms_.begin(), display_terms_.end(), term) == display_terms_.end()) {
            display_terms_.push_back(std::move(term));
        }
    }
    std::vector<TermMatcher> display;
    for (const QueryTerm& term : display_terms_) {
        display.push_back(MakeMatcher(term));
    }
    RemoveContradiction(display);
    std::vector<bool> redundant = FindRedundant(display);
    for (size_t i = 0; i < display.size(); ++i) {
        if (!redundant[i]) {
            match_terms_.push_back(display_terms_[i]);
            match_.push_back(display[i]);
        }
    }
    display_ = std::move(display);
}

CompiledQuery::TermMatcher CompiledQuery::MakeMatcher(const QueryTerm& term) const {
    TermMatcher matcher;
    matcher.finder = UnitFinder(term.text, map_);
    matcher.negated = term.negated;
    matcher.native = !HasSurrogate(term.text);
    if (boundary_ != Boundary::None) {
        std::u16string pattern = u"\\b" + EscapeRegexLiteral(term.text);
        if (boundary_ == Boundary::Both) {
            pattern += u"\\b";
        }
        matcher.pattern.Compile(pattern, RegexSyntax::Perl);
    }
    return matcher;
}

// Whether term x occurs in the text of term y, by the mode's test: every
// line that y's test admits is then admitted by x's test too.
bool CompiledQuery::Occurs(TermMatcher& x, size_t xIndex, size_t yIndex) const {
    const std::u16string& y = display_terms_[yIndex].text;
    if (boundary_ == Boundary::None) {
        return y.find(display_terms_[xIndex].text) != std::u16string::npos;
    }
    return x.pattern.Test(y);
}

// A negated term that occurs in a positive one excludes every line the
// positive one admits: no line can match, and the terms are dropped.
void CompiledQuery::RemoveContradiction(std::vector<TermMatcher>& display) {
    for (size_t i = 0; i < display.size(); ++i) {
        for (size_t j = i + 1; j < display.size(); ++j) {
            if (display[i].negated == display[j].negated) {
                continue;
            }
            size_t negated = display[i].negated ? i : j;
            size_t positive = negated == i ? j : i;
            if (Occurs(display[negated], negated, positive)) {
                display_terms_.clear();
                display.clear();
                return;
            }
        }
    }
}

// Of two positive terms where one occurs in the other, the one occurring is
// implied and redundant. Of two negated terms, the other one is: a line that
// avoids the shorter term avoids the longer too, never the reverse.
std::vector<bool> CompiledQuery::FindRedundant(std::vector<TermMatcher>& display) const {
    std::vector<bool> removed(display.size(), false);
    for (size_t i = 0; i < display.size(); ++i) {
        for (size_t j = i + 1; j < display.size() && !removed[i]; ++j) {
            if (removed[j] || display[i].negated != display[j].negated) {
                continue;
            }
            bool jInI = Occurs(display[j], j, i);
            bool iInJ = !jInI && Occurs(display[i], i, j);
            if (jInI || iInJ) {
                bool dropContaining = display[i].negated;
                size_t contained = jInI ? j : i;
                size_t containing = jInI ? i : j;
                removed[dropContaining ? containing : contained] = true;
            }
        }
    }
    return removed;
}

bool CompiledQuery::CanMatch() const {
    switch (options_.query_mode) {
        case QueryMode::Naive:
        case QueryMode::Smart:
            return !match_.empty();
        case QueryMode::Regex:
            return main_pattern_.IsValid();
    }
    return false;
}

bool CompiledQuery::Matches(std::u16string_view line) {
    if (!CanMatch()) {
        return false;
    }
    if (options_.query_mode == QueryMode::Regex) {
        for (const UnitFinder& literal : regex_literals_) {
            if (!literal.IsIn(line)) {
                return false;
            }
        }
        bool found = main_pattern_.Test(line);
        give_ups_ += main_pattern_.HasError() ? 1 : 0;
        return found;
    }
    for (TermMatcher& term : match_) {
        if (TermFound(term, line) == term.negated) {
            return false;
        }
    }
    return true;
}

bool CompiledQuery::TermFound(TermMatcher& term, std::u16string_view line) {
    if (boundary_ == Boundary::None) {
        return term.finder.IsIn(line);
    }
    if (!term.pattern.IsValid()) {
        return false;
    }
    if (!term.native) {
        try {
            return term.pattern.Test(LineCopy(line));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    const size_t m = term.finder.Needle().size();
    for (size_t p = term.finder.Find(line); p != UnitFinder::npos;
         p = term.finder.Find(line, p + 1)) {
        if (BoundaryAt(line, p) && (boundary_ == Boundary::Start || BoundaryAt(line, p + m))) {
            return true;
        }
    }
    return false;
}

// "\b" at p in the mapped line: word characters on exactly one side.
bool CompiledQuery::BoundaryAt(std::u16string_view line, size_t p) const {
    bool after = p < line.size() && IsRegexWordChar(CodePointAt(line, p, map_));
    bool before = p > 0 && IsRegexWordChar(CodePointBefore(line, p, map_));
    return after != before;
}

std::u16string_view CompiledQuery::LineCopy(std::u16string_view line) {
    if (map_ == CaseMap::Exact) {
        return line;
    }
    line_copy_.assign(line);
    LowerCaseInPlace(line_copy_);
    return line_copy_;
}

bool CompiledQuery::FindSpans(std::u16string_view line, std::vector<MatchSpan>& spans) {
    if (!CanMatch()) {
        return false;
    }
    spans.clear();
    try {
        AppendSpans(line, spans);
    } catch (const std::bad_alloc&) {
        spans.clear();
    }
    return !spans.empty();
}

void CompiledQuery::AppendSpans(std::u16string_view line, std::vector<MatchSpan>& spans) {
    if (options_.query_mode == QueryMode::Regex) {
        main_pattern_.AppendMatchSpans(line, spans);
        return;
    }
    std::u16string_view text = boundary_ == Boundary::None ? line : LineCopy(line);
    for (TermMatcher& term : display_) {
        if (term.negated) {
            continue;
        }
        if (boundary_ == Boundary::None) {
            AppendOccurrences(term.finder, text, spans);
        } else {
            term.pattern.AppendMatchSpans(text, spans);
        }
    }
}

CompiledQuery::Prefilter CompiledQuery::GetPrefilter() const {
    Prefilter prefilter;
    if (!CanMatch()) {
        return prefilter;
    }
    if (options_.query_mode == QueryMode::Regex) {
        if (!regex_literals_.empty()) {
            prefilter.finder = &regex_literals_[regex_key_];
        }
        return prefilter;
    }
    const bool single = match_.size() == 1;
    if (single && boundary_ != Boundary::None && match_[0].native && match_[0].pattern.IsValid()) {
        prefilter.hit_boundary = boundary_;
    }
    for (const TermMatcher& term : match_) {
        if (!term.negated) {
            prefilter.finder = &term.finder;
            prefilter.hit_decides = boundary_ == Boundary::None && single;
            return prefilter;
        }
    }
    if (single) {
        prefilter.finder = &match_[0].finder;
        prefilter.verdict_without = true;
        prefilter.hit_decides = boundary_ == Boundary::None;
    }
    return prefilter;
}

}  // namespace linesift
