#include "highlight/line_highlighter.h"

#include "filter/regex_pattern.h"

namespace linesift {
namespace {

std::optional<MarkupColor> ToMarkupColor(const std::optional<Color32>& color) {
    if (!color) {
        return std::nullopt;
    }
    return MarkupColor{color->red} << 16 | MarkupColor{color->green} << 8 | color->blue;
}

}  // namespace

std::u16string HighlightRuleError(const HighlightRule& rule) {
    if (rule.query_mode != static_cast<int32_t>(QueryMode::Regex) || rule.text.empty()) {
        return {};
    }
    RegexPattern pattern;
    if (pattern.Compile(rule.text, RegexSyntax::Perl)) {
        return {};
    }
    std::u16string error = pattern.ErrorText();
    return error.empty() ? u"the regular expression does not compile" : error;
}

LineHighlighter::LineHighlighter(const std::vector<HighlightRule>& rules) {
    for (size_t i = 0; i < rules.size(); ++i) {
        const HighlightRule& rule = rules[i];
        if (!rule.enabled || rule.text.empty() || (!rule.foreground && !rule.background) ||
            rule.query_mode < 0 || rule.query_mode > 2) {
            continue;
        }
        if (std::u16string error = HighlightRuleError(rule); !error.empty()) {
            invalid_.push_back({i, std::move(error)});
            continue;
        }
        CompiledQuery query(rule.text, {.match_case = rule.match_case,
                                        .whole_word = rule.whole_word,
                                        .query_mode = static_cast<QueryMode>(rule.query_mode)});
        if (query.CanMatch()) {
            rules_.push_back(
                {std::move(query), ToMarkupColor(rule.foreground), ToMarkupColor(rule.background)});
        }
    }
}

void LineHighlighter::RunsOf(std::u16string_view line, std::vector<ColoredRange>& runs) {
    runs.clear();
    // The last rule first: each earlier one is laid over what is there.
    for (auto rule = rules_.rbegin(); rule != rules_.rend(); ++rule) {
        if (!rule->query.Matches(line) || !rule->query.FindSpans(line, spans_)) {
            continue;
        }
        ranges_.clear();
        for (const MatchSpan& span : spans_) {
            ranges_.push_back({span.start, span.end});
        }
        MergeHighlightRanges(ranges_);
        layer_.clear();
        for (const HighlightRange& r : ranges_) {
            layer_.push_back({r.start, r.end, rule->foreground, rule->background});
        }
        OverlayRanges(runs, layer_);
    }
}

void OverlayQueryHighlight(std::vector<ColoredRange>& runs, std::vector<HighlightRange> query,
                           MarkupColor highlight) {
    MergeHighlightRanges(query);
    std::vector<ColoredRange> over;
    over.reserve(query.size());
    for (const HighlightRange& r : query) {
        if (r.start < r.end) {
            over.push_back({r.start, r.end, std::nullopt, highlight});
        }
    }
    OverlayRanges(runs, over);
}

}  // namespace linesift
