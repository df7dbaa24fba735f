#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "filter/regex_pattern.h"

namespace linesift {

// The Regex Tester's rules without its window: which pattern is searched,
// how a match becomes the rows of the result page, and how the two input
// histories are kept.

// The four check boxes of a test.
struct RegexTestOptions {
    bool case_sensitive = false;
    bool whole_word = false;
    bool exact_match = false;
    bool regular_expression = true;
};

// Whether pattern compiles as typed: as a regular expression, or as a
// wildcard pattern when regular_expression is off; no additions, no case.
bool IsTesterPatternValid(std::u16string_view pattern, bool regular_expression);

// The regular expression a test searches with. A wildcard pattern is
// converted first; then exact_match anchors it at both ends of the sample
// (line breaks in the sample are ordinary characters), or else whole_word
// puts it between word boundaries. The pattern is wrapped in a group that
// captures nothing, so an alternation stays inside the anchors and group
// numbers are those the user wrote.
std::u16string TesterExpression(std::u16string_view pattern, const RegexTestOptions& options);

enum class RegexTestResult {
    InvalidPattern,  // nothing is shown
    NoMatch,         // an engine error while searching counts as no match
    Match,
};

struct RegexTestOutcome {
    RegexTestResult result = RegexTestResult::InvalidPattern;
    // For a match: the groups that took part, whole match first.
    std::vector<SubMatch> groups;
};

// Searches the whole sample for the first match of the pattern. A pattern
// that does not compile as typed is invalid even when the additions would
// make it compile.
RegexTestOutcome RunRegexTest(std::u16string_view text, std::u16string_view pattern,
                              const RegexTestOptions& options);

// The text of the result page where its rows go.
inline constexpr std::u16string_view kResultPlaceholder = u"$_PLACE_HOLDER_$";

// One table row per group: "Match" for the whole match, "Capture #n" for
// group n, each with the escaped text and its back-reference "$n".
std::u16string BuildResultRows(const std::vector<SubMatch>& groups);

// The page with every placeholder replaced by rows; text inside rows is
// never searched for the placeholder again.
std::u16string FillResultPage(std::u16string_view page, std::u16string_view rows);

// The most entries either input history keeps.
inline constexpr size_t kTesterHistoryLimit = 50;

// Puts text first in entries (newest first): an equal entry (same code
// units, so letter case counts) moves up instead of repeating, and the
// oldest entries beyond the limit drop out. Empty text changes nothing.
void AddToTesterHistory(std::vector<std::u16string>& entries, std::u16string_view text);

// A history as the settings file gave it, which may have been edited by
// hand: empty entries and repeats dropped (the first occurrence stays), cut
// to the limit.
std::vector<std::u16string> RepairTesterHistory(const std::vector<std::u16string>& entries);

}  // namespace linesift
