#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "filter/compiled_query.h"
#include "filter/regex_pattern.h"
#include "platform/char_class.h"

namespace linesift::test {

inline std::u16string Lowered(std::u16string text) {
    LowerCaseInPlace(text);
    return text;
}

// Whether a term occurs by the mode's plain test, on the line lower-cased
// when match case is off.
inline bool PlainFound(const QueryTerm& term, const QueryOptions& options,
                       std::u16string_view line) {
    if (options.query_mode == QueryMode::Naive && !options.whole_word) {
        return line.find(term.text) != std::u16string_view::npos;
    }
    std::u16string pattern = u"\\b" + EscapeRegexLiteral(term.text);
    if (options.query_mode == QueryMode::Naive) {
        pattern += u"\\b";
    }
    RegexPattern p;
    return p.Compile(pattern, RegexSyntax::Perl) && p.Test(line);
}

// The meaning of a query: every pushed positive term occurs, no negated one.
inline bool PlainMatches(const std::u16string& text, const QueryOptions& options,
                         const std::u16string& line) {
    if (options.query_mode == QueryMode::Regex) {
        RegexPattern p;
        p.Compile(text, options.match_case ? RegexSyntax::Perl : RegexSyntax::PerlIcase);
        return p.Test(line);
    }
    std::vector<QueryTerm> terms = TokenizeQuery(options.match_case ? text : Lowered(text));
    std::u16string copy = options.match_case ? line : Lowered(line);
    for (const QueryTerm& term : terms) {
        if (PlainFound(term, options, copy) == term.negated) {
            return false;
        }
    }
    return !terms.empty();
}

}  // namespace linesift::test
