#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "filter/compiled_query.h"
#include "markup/color_markup.h"
#include "settings/app_settings.h"

namespace linesift {

// Why rule colours nothing because its query does not compile: the regular
// expression engine's message; empty for a rule that compiles.
std::u16string HighlightRuleError(const HighlightRule& rule);

// A rule that is on, with text and a colour, left out because its query does
// not compile.
struct InvalidHighlightRule {
    size_t index;  // in the rules given
    std::u16string error;

    bool operator==(const InvalidHighlightRule&) const = default;
};

// The highlighters compiled once, asked per painted line which runs of it
// they colour. An object serves one thread at a time (its queries keep
// scratch space); copy it for another.
class LineHighlighter {
  public:
    LineHighlighter() = default;
    // Compiles the rules that are on, have text and a colour; a regular
    // expression that does not compile is left out, and Invalid() says so.
    explicit LineHighlighter(const std::vector<HighlightRule>& rules);

    bool empty() const { return rules_.empty(); }
    // The rules left out because they do not compile, in order.
    const std::vector<InvalidHighlightRule>& Invalid() const { return invalid_; }
    // Replaces runs by the runs of line the rules colour, ordered and
    // disjoint; where two rules' matches overlap, the earlier rule's colours
    // are on top. A rule colours only lines its query matches.
    void RunsOf(std::u16string_view line, std::vector<ColoredRange>& runs);

  private:
    struct Rule {
        CompiledQuery query;
        std::optional<MarkupColor> foreground;
        std::optional<MarkupColor> background;
    };
    std::vector<Rule> rules_;
    std::vector<InvalidHighlightRule> invalid_;
    std::vector<MatchSpan> spans_;
    std::vector<HighlightRange> ranges_;
    std::vector<ColoredRange> layer_;
};

// Lays the filter query's highlight (ranges in any order, possibly
// overlapping) over runs in background colour highlight: the query's
// highlight stays on top of every highlighter's.
void OverlayQueryHighlight(std::vector<ColoredRange>& runs, std::vector<HighlightRange> query,
                           MarkupColor highlight);

}  // namespace linesift
