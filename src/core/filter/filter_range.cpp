#include "filter/filter_range.h"

#include <algorithm>
#include <new>
#include <optional>

#include "document/text_document.h"

namespace linesift {

FilterStatus FilterRange(const FilterRequest& request, const TextDocument& document, size_t begin,
                         size_t end, LineBits& matched, const std::atomic<bool>* cancel) {
    if (!request.text.empty() && !ValidateFilterRequest(request)) {
        return FilterStatus::Invalid;
    }
    end = std::min(end, document.LineCount());
    begin = std::min(begin, end);
    bool cancelled = false;
    try {
        matched.Reset(end - begin);
        if (request.text.empty()) {
            return FilterStatus::Done;
        }
        CompiledQuery query(request.text, {.match_case = request.match_case,
                                           .whole_word = request.whole_word,
                                           .query_mode = request.query_mode});
        LineBatch batch;
        ReadStatus read = document.ReadLines(begin, end, batch, [&](const LineBatch& lines) {
            if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) {
                cancelled = true;
                return false;
            }
            for (size_t k = 0; k < lines.size(); ++k) {
                if (query.Matches(lines.Line(k))) {
                    matched.Set(lines.FirstLine() + k - begin);
                }
            }
            return true;
        });
        if (cancelled) {
            return FilterStatus::Cancelled;
        }
        if (read == ReadStatus::Ok) {
            return FilterStatus::Done;
        }
        matched = LineBits();
        return read == ReadStatus::FileChanged ? FilterStatus::FileChanged
                                               : FilterStatus::OutOfMemory;
    } catch (const std::bad_alloc&) {
        matched = LineBits();
        return FilterStatus::OutOfMemory;
    }
}

}  // namespace linesift
