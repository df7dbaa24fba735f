// The colour markup: escaping round-trips any text; parsing any text gives
// segments that cover it in order, with only tag syntax between them; and
// highlight markup over any ranges parses back to the line's text with
// exactly the covered units highlighted.
//
// Input: a switch byte (bit 4 UTF-16) and the text; the highlight ranges
// are drawn from the input's last bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "markup/color_markup.h"

namespace linesift {
namespace {

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// Steps over the tag around a segment of the given text at markup[at]:
// "<color", anything but angle brackets, ">", the text, "</color>". False
// when the markup there is not such a tag.
bool SkipTag(std::u16string_view markup, std::u16string_view text, size_t& at) {
    std::u16string_view rest = markup.substr(at);
    size_t close = rest.find(u'>');
    if (!StartsWith(rest, u"<color") || close == std::u16string_view::npos ||
        rest.substr(1, close - 1).find(u'<') != std::u16string_view::npos) {
        return false;
    }
    rest.remove_prefix(close + 1);
    if (!StartsWith(rest, text) || !StartsWith(rest.substr(text.size()), u"</color>")) {
        return false;
    }
    at += close + 1 + text.size() + 8;
    return true;
}

// A segment's text stands in the markup either as it is (plain text) or
// inside a tag; a tag's text never holds '<', so the two cannot be confused.
void CheckParseCovers(std::u16string_view markup) {
    std::vector<MarkupSegment> segments = ParseMarkup(markup);
    size_t at = 0;
    for (const MarkupSegment& segment : segments) {
        fuzz::Check(!segment.text.empty(), "ParseMarkup gave an empty segment");
        bool styled = segment.foreground || segment.background;
        if (!styled && StartsWith(markup.substr(at), segment.text)) {
            at += segment.text.size();
            continue;
        }
        fuzz::Check(SkipTag(markup, segment.text, at), "segments do not cover the markup");
    }
    fuzz::Check(at == markup.size(), "the end of the markup is uncovered");
    if (markup.find(u'<') == std::u16string_view::npos) {
        fuzz::Check(segments.size() == (markup.empty() ? 0 : 1), "plain text is split");
    }
}

void CheckHighlight(std::u16string line, FuzzedDataProvider& provider) {
    // Document lines never hold a line feed; its escape is not tag text.
    std::replace(line.begin(), line.end(), u'\n', u' ');
    const int64_t n = static_cast<int64_t>(line.size());
    int64_t start = provider.ConsumeIntegralInRange<int64_t>(-1, n + 1);
    int64_t end = provider.ConsumeIntegralInRange<int64_t>(-1, n + 1);
    std::vector<HighlightRange> ranges(provider.ConsumeIntegralInRange<size_t>(0, 4));
    std::vector<bool> lit(line.size() + 1, false);
    for (HighlightRange& r : ranges) {
        r.start = provider.ConsumeIntegralInRange<int64_t>(-2, n + 2);
        r.end = provider.ConsumeIntegralInRange<int64_t>(-2, n + 2);
        for (int64_t i = std::max<int64_t>(r.start, 0); i < std::min(r.end, n); ++i) {
            lit[static_cast<size_t>(i)] = true;
        }
    }
    const MarkupColor color = 0x12AB34;
    std::u16string markup = BuildHighlightMarkup(line, start, end, ranges, color);
    if (start < 0 || start >= end || end > n) {
        fuzz::Check(markup.empty(), "markup for a range outside the line");
        return;
    }
    size_t pos = static_cast<size_t>(start);
    for (const MarkupSegment& segment : ParseMarkup(markup)) {
        std::u16string text = HtmlUnescape(segment.text);
        fuzz::Check(line.compare(pos, text.size(), text) == 0, "highlight markup loses text");
        fuzz::Check(!segment.foreground && (!segment.background || *segment.background == color),
                    "highlight markup has a foreign colour");
        for (size_t i = pos; i < pos + text.size(); ++i) {
            fuzz::Check(lit[i] == segment.background.has_value(), "wrong units highlighted");
        }
        pos += text.size();
    }
    fuzz::Check(pos == static_cast<size_t>(end), "highlight markup ends early");
}

}  // namespace
}  // namespace linesift

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace linesift;
    std::u16string text = fuzz::InputText(data, size);
    fuzz::Check(HtmlUnescape(HtmlEscape(text)) == text, "escaping does not round-trip");
    CheckParseCovers(text);
    FuzzedDataProvider provider(data, size);
    CheckHighlight(text, provider);
    return 0;
}
