#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// The queries the user committed, kept to suggest them again: the recent
// ones, newest first, and all of them in ascending code-unit order
// (case-sensitive). Neither list holds an empty text or two equal texts.
class QueryHistory {
  public:
    static constexpr size_t kMaxRecent = 5;
    static constexpr size_t kMaxAll = 100;
    static constexpr size_t kMaxSuggestions = 5;

    // Takes the two lists as the settings file gave them. They are repaired,
    // since the file may have been edited by hand: empty texts and repeats
    // are dropped (the first occurrence stays), all is sorted, and both are
    // cut to their bounds (all loses its greatest entries).
    void Assign(std::vector<std::u16string> recent, std::vector<std::u16string> all);

    const std::vector<std::u16string>& Recent() const { return recent_; }
    const std::vector<std::u16string>& All() const { return all_; }
    // Whether there is anything to clear.
    bool HasHistory() const { return !recent_.empty(); }

    // Records a committed query: it moves to the front of the recent list
    // and is added to all in order. When all is full, its greatest entry is
    // dropped, which may be the new one. Empty text is ignored.
    void Record(std::u16string_view text);
    // Empties both lists.
    void Clear();

    // Up to five queries to offer for text: the recent ones for empty text;
    // otherwise the entries of all, in order, that begin with text exactly
    // and are longer than it.
    std::vector<std::u16string> Suggest(std::u16string_view text) const;

  private:
    std::vector<std::u16string> recent_;
    std::vector<std::u16string> all_;
};

}  // namespace linesift
