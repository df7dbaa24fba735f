#include "tester/regex_tester.h"

#include <algorithm>
#include <string>

#include "markup/color_markup.h"

namespace linesift {
namespace {

RegexPattern CompileAsTyped(std::u16string_view pattern, bool regular_expression) {
    RegexPattern compiled;
    if (regular_expression) {
        compiled.Compile(pattern, RegexSyntax::Perl);
    } else {
        compiled.CompileWildcard(pattern);
    }
    return compiled;
}

// Whether the expression ends inside a "\Q" quotation that no "\E" closed.
bool EndsInsideQuotation(std::u16string_view expression) {
    bool quoted = false;
    for (size_t i = 0; i + 1 < expression.size(); ++i) {
        if (expression[i] != u'\\') {
            continue;
        }
        const char16_t next = expression[i + 1];
        if (!quoted) {
            quoted = next == u'Q';
            ++i;
        } else if (next == u'E') {
            quoted = false;
            ++i;
        }
    }
    return quoted;
}

std::u16string Decimal(int32_t n) {
    std::string digits = std::to_string(n);
    return std::u16string(digits.begin(), digits.end());
}

}  // namespace

bool IsTesterPatternValid(std::u16string_view pattern, bool regular_expression) {
    return CompileAsTyped(pattern, regular_expression).IsValid();
}

std::u16string TesterExpression(std::u16string_view pattern, const RegexTestOptions& options) {
    std::u16string expression =
        options.regular_expression ? std::u16string(pattern) : WildcardToRegex(pattern);
    if (!options.exact_match && !options.whole_word) {
        return expression;
    }
    // A quotation left open would swallow the closing additions.
    if (EndsInsideQuotation(expression)) {
        expression += u"\\E";
    }
    return options.exact_match ? u"\\A(?:" + expression + u")\\z"
                               : u"\\b(?:" + expression + u")\\b";
}

RegexTestOutcome RunRegexTest(std::u16string_view text, std::u16string_view pattern,
                              const RegexTestOptions& options) {
    RegexTestOutcome outcome;
    if (!IsTesterPatternValid(pattern, options.regular_expression)) {
        return outcome;
    }
    RegexPattern search;
    if (!search.Compile(TesterExpression(pattern, options), RegexSyntax::Perl)) {
        return outcome;
    }
    search.SetCaseSensitive(options.case_sensitive);
    outcome.result = RegexTestResult::NoMatch;
    if (search.Search(text.data(), text.data() + text.size()) &&
        search.SubMatches(outcome.groups)) {
        outcome.result = RegexTestResult::Match;
    }
    return outcome;
}

std::u16string BuildResultRows(const std::vector<SubMatch>& groups) {
    std::u16string rows;
    for (const SubMatch& group : groups) {
        const std::u16string n = Decimal(group.index);
        rows +=
            group.index == 0 ? u"<tr><td>Match</td><td>" : u"<tr><td>Capture #" + n + u"</td><td>";
        rows += HtmlEscape(group.text) + u"</td><td>$" + n + u"</td></tr>";
    }
    return rows;
}

std::u16string FillResultPage(std::u16string_view page, std::u16string_view rows) {
    std::u16string filled;
    size_t from = 0;
    for (size_t at = page.find(kResultPlaceholder); at != std::u16string_view::npos;
         at = page.find(kResultPlaceholder, from)) {
        filled.append(page.substr(from, at - from)).append(rows);
        from = at + kResultPlaceholder.size();
    }
    filled.append(page.substr(from));
    return filled;
}

void AddToTesterHistory(std::vector<std::u16string>& entries, std::u16string_view text) {
    if (text.empty()) {
        return;
    }
    std::erase(entries, text);
    entries.insert(entries.begin(), std::u16string(text));
    if (entries.size() > kTesterHistoryLimit) {
        entries.resize(kTesterHistoryLimit);
    }
}

std::vector<std::u16string> RepairTesterHistory(const std::vector<std::u16string>& entries) {
    std::vector<std::u16string> kept;
    for (const std::u16string& entry : entries) {
        if (kept.size() == kTesterHistoryLimit) {
            break;
        }
        if (!entry.empty() && std::find(kept.begin(), kept.end(), entry) == kept.end()) {
            kept.push_back(entry);
        }
    }
    return kept;
}

}  // namespace linesift
