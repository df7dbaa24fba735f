#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "batch.h"
#include "filter/compiled_query.h"
#include "markup/color_markup.h"
#include "output_writer.h"

namespace linesift {

// Writes shown lines as the batch options ask: plain text (with line numbers
// and highlight colours as asked) or one JSON object per line.
class LinePrinter {
  public:
    // color: whether plain output marks highlights (already resolved from auto).
    LinePrinter(const BatchOptions& options, bool color, OutputWriter& writer);

    // Writes the line at index (0-based) whose matched flag is matched;
    // context marks a line printed only for being near a shown one.
    void Print(size_t index, std::u16string_view text, bool matched, bool context = false);
    // Writes the "--" between groups of context lines (nothing for JSON).
    void PrintGroupSeparator();

  private:
    // The highlight spans of a matched line, in the engine's order.
    const std::vector<MatchSpan>& SpansOf(std::u16string_view text, bool matched);
    void PrintJson(size_t index, std::u16string_view text, bool matched, bool context);
    void PrintPlain(size_t index, std::u16string_view text, bool matched, bool context);
    void AppendColored(std::u16string_view text);

    const BatchOptions& options_;
    bool color_;
    OutputWriter& writer_;
    std::optional<CompiledQuery> query_;  // none without a query text
    std::vector<MatchSpan> spans_;
    std::vector<HighlightRange> merged_;  // the spans' union, in order
};

}  // namespace linesift
