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

MarkupColor ParseHex(const char16_t* digits) {
    MarkupColor value = 0;
    for (int i = 0; i < 6; ++i) {
        int d = u_digit(static_cast<UChar32>(digits[i]), 16);
        value = value * 16 + static_cast<MarkupColor>(d < 0 ? 0 : d);
    }
    return value;
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

std::vector<MarkupSegment> ParseMarkup(std::u16string_view markup) {
    std::vector<MarkupSegment> segments;
    const UChar* begin = reinterpret_cast<const UChar*>(markup.data());
    const UChar* end = begin + markup.size();
    const UChar* at = begin;
    boost::match_results<const UChar*> m;
    while (at < end &&
           boost::u32regex_search(at, end, m, TagPattern(),
                                  at == begin ? boost::match_default : boost::match_prev_avail)) {
        if (m[0].first > at) {
            segments.push_back({std::u16string(reinterpret_cast<const char16_t*>(at),
                                               static_cast<size_t>(m[0].first - at)),
                                {},
                                {}});
        }
        MarkupSegment tag{std::u16string(reinterpret_cast<const char16_t*>(m[7].first),
                                         static_cast<size_t>(m.length(7))),
                          {},
                          {}};
        for (int side : {2, 5}) {
            if (m[side].matched) {
                MarkupColor color = ParseHex(reinterpret_cast<const char16_t*>(m[side + 1].first));
                (*m[side].first == u'f' ? tag.foreground : tag.background) = color;
            }
        }
        segments.push_back(std::move(tag));
        at = m[0].second;
    }
    if (at < end) {
        segments.push_back(
            {std::u16string(reinterpret_cast<const char16_t*>(at), static_cast<size_t>(end - at)),
             {},
             {}});
    }
    return segments;
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
    std::sort(lit.begin(), lit.end(),
              [](const HighlightRange& x, const HighlightRange& y) { return x.start < y.start; });
    std::u16string markup;
    auto plain = [&](int64_t b, int64_t e) {
        if (b < e) {
            markup += HtmlEscape(line.substr(static_cast<size_t>(b), static_cast<size_t>(e - b)));
        }
    };
    int64_t at = start;
    for (size_t i = 0; i < lit.size();) {
        int64_t b = lit[i].start;
        int64_t e = lit[i].end;
        for (++i; i < lit.size() && lit[i].start <= e; ++i) {
            e = std::max(e, lit[i].end);
        }
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
