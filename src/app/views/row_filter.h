#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/text_document.h"
#include "markup/color_markup.h"

namespace linesift {

// What the view container asks the list to filter by.
struct ListFilterRequest {
    std::u16string text;
    bool match_case = false;
    bool whole_word = false;
    int32_t query_mode = 0;   // 0 naive, 1 smart, 2 regex
    int32_t filter_mode = 0;  // 0 hide unmatched, 1 hide matched, 2 show all
};

// The list's view of the query engine: whether a request can be applied,
// which lines match it, and what to highlight in a line.
bool ValidateListFilter(const ListFilterRequest& request);
// Sets matched[i] to 1 for every line i of document that matches.
void MatchDocumentLines(const ListFilterRequest& request, const TextDocument& document,
                        std::vector<uint8_t>& matched);
// The ranges of line to highlight; false when there are none.
bool FindHighlightRanges(const ListFilterRequest& request, std::u16string_view line,
                         std::vector<HighlightRange>& ranges);

}  // namespace linesift
