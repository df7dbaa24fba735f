#include "views/row_filter.h"

#include "platform/char_class.h"

// A stand-in: case-insensitive substring matching until the query engine is
// wired in.
namespace linesift {

bool ValidateListFilter(const ListFilterRequest& request) {
    return !request.text.empty() && request.query_mode >= 0 && request.query_mode <= 2 &&
           request.filter_mode >= 0 && request.filter_mode <= 2;
}

void MatchDocumentLines(const ListFilterRequest& request, const TextDocument& document,
                        std::vector<uint8_t>& matched) {
    matched.assign(document.LineCount(), 0);
    std::u16string needle = request.text;
    LowerCaseInPlace(needle);
    std::u16string copy;
    for (size_t i = 0; i < document.LineCount(); ++i) {
        copy.assign(document.Line(i).text());
        LowerCaseInPlace(copy);
        matched[i] = copy.find(needle) != std::u16string::npos;
    }
}

bool FindHighlightRanges(const ListFilterRequest& request, std::u16string_view line,
                         std::vector<HighlightRange>& ranges) {
    ranges.clear();
    std::u16string needle = request.text;
    LowerCaseInPlace(needle);
    std::u16string copy(line);
    LowerCaseInPlace(copy);
    for (size_t at = copy.find(needle); !needle.empty() && at != std::u16string::npos;
         at = copy.find(needle, at + needle.size())) {
        ranges.push_back({static_cast<int64_t>(at), static_cast<int64_t>(at + needle.size())});
    }
    return !ranges.empty();
}

}  // namespace linesift
