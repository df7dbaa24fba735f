#include "markup/color_markup.h"

#include <unicode/uchar.h>

#include <algorithm>

#include <boost/regex/icu.hpp>

namespace linesift {
namespace {

struct Replacement {
    char16_t ch;
    std::u16string_view escaped;
};

constexpr Replacement kEscapes[] = {
    {u'&', u"&amp;"}, {u'"', u"&quot;"}, {u'<', u"&lt;"},
    {u'>', u"&gt;"},  {u' ', u"&nbsp;"}, {u'\n', u"<br>"},
};

void ReplaceAll(std::u16string& text, std::u16string_view from, std::u16string_view to) {
    if (from.empty()) {
        return;
    }
    std::u16string out;
    size_t at = 0;
    for (size_t hit; (hit = text.find(from, at)) != std::u16string::npos; at = hit + from.size()) {
        out.append(text, at, hit - at);
        out.append(to);
    }
    if (at == 0) {
        return;
    }
    out.append(text, at, std::u16string::npos);
    text.swap(out);
}

const boost::u32regex& TagPattern() {
    static const boost::u32regex pattern = boost::make_u32regex(reinterpret_cast<const UChar*>(
        u"<color(\\s+([fb])g=#([\\da-fA-F]{6}))?(\\s+([fb])g=#([\\da-fA-F]{6}))?"
        u"\\s*>([^<>]+)</color>"));
    return pattern;
}

using Tag = boost::match_results<const UChar32*>;

MarkupColor ParseHex(std::u16string_view digits) {
    MarkupColor value = 0;
    for (char16_t c : digits.substr(0, 6)) {
        int d = u_digit(static_cast<UChar32>(c), 16);
        value = value * 16 + static_cast<MarkupColor>(d < 0 ? 0 : d);
    }
    return value;
}

// The segment of a matched tag; base is where the searched units begin.
MarkupSegment TagSegment(std::u16string_view markup, const Tag& m, const UChar32* base) {
    auto text = [&](int i) {
        return markup.substr(static_cast<size_t>(m[i].first - base),
                             static_cast<size_t>(m.length(i)));
    };
    MarkupSegment tag{std::u16string(text(7)), {}, {}};
    for (int side : {2, 5}) {
        if (m[side].matched) {
            (*m[side].first == u'f' ? tag.foreground : tag.background) = ParseHex(text(side + 1));
        }
    }
    return tag;
}

}  // namespace

std::u16string HtmlEscape(std::u16string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        bool replaced = false;
        for (const Replacement& r : kEscapes) {
            if (c == r.ch) {
                out.append(r.escaped);
                replaced = true;
                break;
            }
        }
        if (!replaced) {
            out.push_back(c);
        }
    }
    return out;
}

std::u16string HtmlUnescape(std::u16string_view text) {
    std::u16string out(text);
    for (size_t i = std::size(kEscapes); i-- > 0;) {
        ReplaceAll(out, kEscapes[i].escaped, std::u16string_view(&kEscapes[i].ch, 1));
    }
    return out;
}

// The tag syntax is ASCII, so each UTF-16 unit is searched as a character of
// its own: offsets stay those of the markup, and a lone surrogate (which a
// line may hold) is an ordinary character rather than an engine error.
std::vector<MarkupSegment> ParseMarkup(std::u16string_view markup) {
    std::vector<MarkupSegment> segments;
    const std::vector<UChar32> units(markup.begin(), markup.end());
    const UChar32* begin = units.data();
    const UChar32* end = begin + units.size();
    size_t at = 0;
    Tag m;
    auto plain = [&](size_t to) {
        if (to > at) {
            segments.push_back({std::u16string(markup.substr(at, to - at)), {}, {}});
        }
    };
    try {
        while (at < markup.size() &&
               boost::u32regex_search(begin + at, end, m, TagPattern(),
                                      at == 0 ? boost::match_default : boost::match_prev_avail)) {
            plain(static_cast<size_t>(m[0].first - begin));
            segments.push_back(TagSegment(markup, m, begin));
            at = static_cast<size_t>(m[0].second - begin);
        }
    } catch (const std::exception&) {
        // The engine gave up: the rest is plain text.
    }
    plain(markup.size());
    return segments;
}

void MergeHighlightRanges(std::vector<HighlightRange>& ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const HighlightRange& x, const HighlightRange& y) { return x.start < y.start; });
    size_t out = 0;
    for (const HighlightRange& r : ranges) {
        if (out > 0 && r.start <= ranges[out - 1].end) {
            ranges[out - 1].end = std::max(ranges[out - 1].end, r.end);
        } else {
            ranges[out++] = r;
        }
    }
    ranges.resize(out);
}

void OverlayRanges(std::vector<ColoredRange>& runs, const std::vector<ColoredRange>& over) {
    if (over.empty()) {
        return;
    }
    std::vector<ColoredRange> out;
    out.reserve(runs.size() + over.size());
    size_t next = 0;  // the first run of runs not yet passed
    // Adds the parts of runs within [from, to).
    auto under = [&](int64_t from, int64_t to) {
        for (; next < runs.size() && runs[next].start < to; ++next) {
            ColoredRange r = runs[next];
            r.start = std::max(r.start, from);
            r.end = std::min(r.end, to);
            if (r.start < r.end) {
                out.push_back(r);
            }
            if (runs[next].end > to) {
                break;  // it goes on past the next over run
            }
        }
    };
    int64_t at = INT64_MIN;
    for (const ColoredRange& top : over) {
        under(at, top.start);
        out.push_back(top);
        at = top.end;
        while (next < runs.size() && runs[next].end <= at) {
            ++next;
        }
    }
    under(at, INT64_MAX);
    runs = std::move(out);
}

std::u16string BuildHighlightMarkup(std::u16string_view line, int64_t start, int64_t end,
                                    const std::vector<HighlightRange>& ranges,
                                    MarkupColor highlight) {
    if (start < 0 || start >= end || end > static_cast<int64_t>(line.size())) {
        return {};
    }
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string open = u"<color bg=#";
    for (int shift = 20; shift >= 0; shift -= 4) {
        open.push_back(kHex[(highlight >> shift) & 0xF]);
    }
    open += u">";
    // The union of the ranges inside [start, end), as disjoint sorted runs.
    std::vector<HighlightRange> lit;
    for (const HighlightRange& r : ranges) {
        int64_t b = std::max(r.start, start);
        int64_t e = std::min(r.end, end);
        if (b < e) {
            lit.push_back({b, e});
        }
    }
    MergeHighlightRanges(lit);
    std::u16string markup;
    auto plain = [&](int64_t b, int64_t e) {
        if (b < e) {
            markup += HtmlEscape(line.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
        }
    };
    int64_t at = start;
    for (const auto& [b, e] : lit) {
        plain(at, b);
        markup += open;
        markup += HtmlEscape(line.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
        markup += u"</color>";
        at = e;
    }
    plain(at, end);
    return markup;
}

}  // namespace linesift
