#pragma once

#include <cstdint>
#include <string>

namespace linesift {

// What the search box reports with its searchEvent signal.
struct SearchBoxEvent {
    enum Code : uint32_t {
        TextChanged = 1,       // the text changed by typing, pasting or a picked suggestion
        TextCleared = 2,       // Escape or the clear button emptied the text
        Committed = 4,         // Enter, or the edit lost the focus with text in it
        SuggestRequested = 8,  // the user asked for suggestions without changing the text
    };

    uint32_t code;
    std::u16string text;  // the whole text of the box
};

// Whether an event applies its text as the query: with search as you type,
// every change does; without it, only clearing and committing do.
constexpr bool AppliesQuery(uint32_t code, bool searchAsYouType) {
    const uint32_t mask = searchAsYouType
                              ? SearchBoxEvent::TextChanged | SearchBoxEvent::TextCleared
                              : SearchBoxEvent::TextCleared | SearchBoxEvent::Committed;
    return (code & mask) != 0;
}

}  // namespace linesift
