#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// Escapes text for the colour markup: '&', '"', '<', '>', space and line
// feed, in that order, become "&amp;", "&quot;", "&lt;", "&gt;", "&nbsp;",
// "<br>".
std::u16string HtmlEscape(std::u16string_view text);
// Reverses HtmlEscape (the replacements in the reverse order).
std::u16string HtmlUnescape(std::u16string_view text);

// A colour as 0xRRGGBB.
using MarkupColor = uint32_t;

// A piece of marked-up text and the colours its tag asked for (none: the
// default style). Text is still escaped.
struct MarkupSegment {
    std::u16string text;
    std::optional<MarkupColor> foreground;
    std::optional<MarkupColor> background;  // drawn opaque
};

// Splits markup into segments. A tag is
//   <color fg=#RRGGBB bg=#RRGGBB>text</color>
// with at most two attributes in either order, both optional, and non-empty
// text without '<' or '>'. Tags do not nest; anything that is not a whole tag
// is plain text.
std::vector<MarkupSegment> ParseMarkup(std::u16string_view markup);

// A half-open range of UTF-16 offsets to highlight.
struct HighlightRange {
    int64_t start;
    int64_t end;
};

// Turns non-empty ranges in any order into their union: ordered, disjoint
// ranges, overlapping or touching ones merged into one.
void MergeHighlightRanges(std::vector<HighlightRange>& ranges);

// A run of a line drawn in colours of its own; a colour left out keeps the
// one beneath (the list's text colour, the row's background).
struct ColoredRange {
    int64_t start;
    int64_t end;
    std::optional<MarkupColor> foreground = std::nullopt;
    std::optional<MarkupColor> background = std::nullopt;

    bool operator==(const ColoredRange&) const = default;
};

// Lays over on top of runs: both ordered, disjoint and non-empty, and so is
// the result, where over's runs replace what lies beneath them.
void OverlayRanges(std::vector<ColoredRange>& runs, const std::vector<ColoredRange>& over);

// Marks up line[start, end): runs covered by any range are wrapped in
// <color bg=#RRGGBB>; everything is escaped. Empty when the range does not lie
// inside the line or is empty. Ranges may overlap and come in any order.
std::u16string BuildHighlightMarkup(std::u16string_view line, int64_t start, int64_t end,
                                    const std::vector<HighlightRange>& ranges,
                                    MarkupColor highlight);

}  // namespace linesift
