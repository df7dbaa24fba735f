#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "filter/compiled_query.h"
#include "markup/color_markup.h"
#include "settings/app_settings.h"

namespace linesift {

// The highlighters compiled once, asked per painted line which runs of it
// they colour. An object serves one thread at a time (its queries keep
// scratch space); copy it for another.
class LineHighlighter {
  public:
    LineHighlighter() = default;
    // Compiles the rules that are on, have text and a colour; a regular
    // expression that does not compile is left out.
    explicit LineHighlighter(const std::vector<HighlightRule>& rules);

    bool empty() const { return rules_.empty(); }
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
