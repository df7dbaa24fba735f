#include "suggest/query_history.h"

#include <algorithm>

namespace linesift {

namespace {

// Drops empty texts and every repeat after the first occurrence.
void DropEmptyAndRepeated(std::vector<std::u16string>& list) {
    std::vector<std::u16string> kept;
    kept.reserve(list.size());
    for (std::u16string& text : list) {
        if (!text.empty() && std::find(kept.begin(), kept.end(), text) == kept.end()) {
            kept.push_back(std::move(text));
        }
    }
    list = std::move(kept);
}

}  // namespace

void QueryHistory::Assign(std::vector<std::u16string> recent, std::vector<std::u16string> all) {
    DropEmptyAndRepeated(recent);
    if (recent.size() > kMaxRecent) {
        recent.resize(kMaxRecent);
    }
    std::erase(all, std::u16string());
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());
    if (all.size() > kMaxAll) {
        all.resize(kMaxAll);
    }
    recent_ = std::move(recent);
    all_ = std::move(all);
}

void QueryHistory::Record(std::u16string_view text) {
    if (text.empty()) {
        return;
    }
    std::erase(recent_, text);
    recent_.insert(recent_.begin(), std::u16string(text));
    if (recent_.size() > kMaxRecent) {
        recent_.resize(kMaxRecent);
    }
    auto at = std::lower_bound(all_.begin(), all_.end(), text);
    if (at == all_.end() || *at != text) {
        all_.insert(at, std::u16string(text));
        if (all_.size() > kMaxAll) {
            all_.resize(kMaxAll);
        }
    }
}

void QueryHistory::Clear() {
    recent_.clear();
    all_.clear();
}

std::vector<std::u16string> QueryHistory::Suggest(std::u16string_view text) const {
    if (text.empty()) {
        size_t n = std::min(recent_.size(), kMaxSuggestions);
        return {recent_.begin(), recent_.begin() + static_cast<ptrdiff_t>(n)};
    }
    std::vector<std::u16string> out;
    for (const std::u16string& query : all_) {
        if (query.front() > text.front()) {
            break;  // sorted: nothing further can begin with text
        }
        if (query.size() > text.size() && query.starts_with(text)) {
            out.push_back(query);
            if (out.size() == kMaxSuggestions) {
                break;
            }
        }
    }
    return out;
}

}  // namespace linesift
