#include "line_printer.h"

#include <algorithm>
#include <string>

namespace linesift {
namespace {

// The colours grep uses by default: matches bold red, line numbers green,
// the separator cyan; "\33[K" keeps the background from spilling.
constexpr std::string_view kMatchColor = "\33[01;31m\33[K";
constexpr std::string_view kNumberColor = "\33[32m\33[K";
constexpr std::string_view kSeparatorColor = "\33[36m\33[K";
constexpr std::string_view kNoColor = "\33[m\33[K";

}  // namespace

LinePrinter::LinePrinter(const BatchOptions& options, bool color, OutputWriter& writer)
    : options_(options), color_(color), writer_(writer) {
    const FilterRequest& r = options.request;
    if (!r.text.empty() && (options.json || color)) {
        query_.emplace(r.text, QueryOptions{.match_case = r.match_case,
                                            .whole_word = r.whole_word,
                                            .query_mode = r.query_mode});
    }
}

const std::vector<MatchSpan>& LinePrinter::SpansOf(std::u16string_view text, bool matched) {
    spans_.clear();
    if (matched && query_) {
        query_->FindSpans(text, spans_);
    }
    return spans_;
}

void LinePrinter::Print(size_t index, std::u16string_view text, bool matched, bool context) {
    if (options_.json) {
        PrintJson(index, text, matched, context);
    } else {
        PrintPlain(index, text, matched, context);
    }
}

void LinePrinter::PrintGroupSeparator() {
    if (options_.json) {
        return;
    }
    if (color_) {
        writer_.Append(kSeparatorColor);
        writer_.Append("--");
        writer_.Append(kNoColor);
        writer_.Append("\n");
    } else {
        writer_.Append("--\n");
    }
}

void LinePrinter::PrintJson(size_t index, std::u16string_view text, bool matched, bool context) {
    writer_.Append("{\"line\": ");
    writer_.Append(std::to_string(index + 1));
    writer_.Append(", \"text\": ");
    writer_.AppendJsonString(text);
    if (options_.filter) {
        writer_.Append(matched ? ", \"matched\": true, \"spans\": ["
                               : ", \"matched\": false, \"spans\": [");
        const char* separator = "";
        for (const MatchSpan& span : SpansOf(text, matched)) {
            writer_.Append(separator);
            // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict, wrongly)
            // on a chain of string concatenations here.
            writer_.Append("[");
            writer_.Append(std::to_string(span.start));
            writer_.Append(", ");
            writer_.Append(std::to_string(span.end));
            writer_.Append("]");
            separator = ", ";
        }
        writer_.Append("]");
    }
    if (context) {
        writer_.Append(", \"context\": true");
    }
    writer_.Append("}\n");
}

void LinePrinter::PrintPlain(size_t index, std::u16string_view text, bool matched, bool context) {
    if (options_.line_number) {
        // As grep: a colon after the number of a shown line, a hyphen after
        // that of a context line.
        std::string_view separator = context ? "-" : ":";
        std::string number = std::to_string(index + 1);
        if (color_) {
            writer_.Append(kNumberColor);
            writer_.Append(number);
            writer_.Append(kNoColor);
            writer_.Append(kSeparatorColor);
            writer_.Append(separator);
            writer_.Append(kNoColor);
        } else {
            writer_.Append(number);
            writer_.Append(separator);
        }
    }
    if (color_ && matched) {
        merged_.clear();
        for (const MatchSpan& span : SpansOf(text, matched)) {
            merged_.push_back({span.start, span.end});
        }
        MergeHighlightRanges(merged_);
        AppendColored(text);
    } else {
        writer_.AppendText(text);
    }
    writer_.Append("\n");
}

void LinePrinter::AppendColored(std::u16string_view text) {
    size_t pos = 0;
    for (const HighlightRange& span : merged_) {
        size_t start = static_cast<size_t>(span.start);
        size_t end = std::min(static_cast<size_t>(span.end), text.size());
        writer_.AppendText(text.substr(pos, start - pos));
        writer_.Append(kMatchColor);
        writer_.AppendText(text.substr(start, end - start));
        writer_.Append(kNoColor);
        pos = end;
    }
    writer_.AppendText(text.substr(pos));
}

}  // namespace linesift
