#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// A colour as blue, green, red and alpha bytes.
struct Color32 {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t alpha = 0xFF;

    bool operator==(const Color32&) const = default;
};

// Reads "RRGGBB" or "#RRGGBB" (hexadecimal digits in either case) as an opaque
// colour. Any other text gives opaque black.
Color32 ParseColor(std::u16string_view text);

// Red, green and blue as upper-case hexadecimal, "#RRGGBB" or "RRGGBB"; the
// alpha byte is not written.
std::u16string FormatColor(Color32 color, bool with_hash);

// A rectangle in screen pixels; right and bottom are exclusive.
struct Rect32 {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    bool operator==(const Rect32&) const = default;
};

// A highlighter: wherever a line's text matches the query text (read as the
// filter's query is), it is drawn in these colours on every shown row.
struct HighlightRule {
    std::u16string text;
    int32_t query_mode = 0;  // naive 0, smart 1, regex 2; loads clamped into 0..2
    bool match_case = false;
    bool whole_word = false;                           // naive mode only
    std::optional<Color32> foreground = std::nullopt;  // none: the list's text colour
    std::optional<Color32> background = std::nullopt;  // none: the row's background
    bool enabled = true;

    bool operator==(const HighlightRule&) const = default;
};

// The highlighters a new user starts with, all off: ERROR in red, WARN in
// amber, quoted strings in blue.
std::vector<HighlightRule> DefaultHighlightRules();

// Everything that outlives a run: options, query switches, window placement
// and histories. Used from the user-interface thread only; every part of the
// program reads and changes the fields directly, and only LoadSettings and
// SaveSettings touch Settings.xml in the data folder.
struct AppSettings {
    // The one process-wide object, built with the defaults on first use.
    static AppSettings& Instance();

    // Reads Settings.xml into this object. False (and nothing applied) when
    // the file is missing, unreadable, larger than 256 MiB, not well-formed or
    // not a settings file of this version; bad attributes are skipped one by
    // one. A file that exists but cannot be used is renamed Settings.xml.bad
    // (replacing an earlier one), so no save overwrites it, and stderr says
    // so. Applies ansi_code_page to the legacy code page when ICU knows it.
    bool LoadSettings();

    // Writes this object to Settings.xml, creating the data folder when
    // needed. The file is replaced only once the new one is complete, so a
    // failure leaves the earlier file as it was. The file is well-formed XML
    // 1.0: a text holding a character XML cannot hold (a control character,
    // a lone surrogate) is written escaped, as "\uXXXX" with backslashes
    // doubled, in an attribute named with "_escaped" appended, and reads
    // back exactly. False when nothing was saved.
    bool SaveSettings() const;

    int32_t max_recent_files = 8;  // not stored
    bool save_file_history = true;
    bool save_query_history = false;
    bool save_tester_history = false;
    Color32 hilite_color{.blue = 0x00, .green = 0xE3, .red = 0xFE, .alpha = 0xFF};
    bool debut = true;  // first run: the stored window placement is not applied
    bool auto_suggest = false;
    int32_t query_mode = 0;  // naive 0, smart 1, regex 2; loads clamped into 0..2
    bool match_case = false;
    bool match_whole_word_only = false;
    bool search_as_you_type = true;
    bool word_wrap = false;
    int32_t filter_mode = 0;  // hide unmatched 0, hide matched 1, show all 2; clamped
    // The window's colours: the desktop's 0, light 1, dark 2; clamped. Stored
    // only when not 0, so files of earlier versions read the same.
    int32_t theme = 0;
    Rect32 frame_rect{.left = 100, .top = 100, .right = 750, .bottom = 650};
    bool maximized = false;
    bool show_toolbar = true;
    bool show_statusbar = true;
    bool follow_file = false;                 // View > Follow File; files written before it lack it
    std::deque<std::u16string> recent_files;  // most recent first
    // The encoding name chosen for a recent file (as ParseEncodingName reads
    // it), by path; stored as the "encoding" attribute of its File element,
    // which readers that do not know it pass over. Entries for paths no
    // longer in recent_files are neither stored nor read.
    std::map<std::u16string, std::string> recent_encodings;
    // The folder of the file last chosen in an Open or Save dialog; stored,
    // like recent_files, only while save_file_history is on.
    std::u16string last_folder;
    std::vector<std::u16string> mru_queries;
    std::vector<std::u16string> all_queries;
    std::vector<std::u16string> tester_text_mru;
    std::vector<std::u16string> tester_regex_mru;
    // ICU converter name for files read in the legacy code page; empty for
    // the default. Stored only when not empty.
    std::u16string ansi_code_page;
    // Lines shown around each matching line when unmatched lines are hidden.
    int32_t context_lines = 0;  // loads clamped into 0..kMaxContextLines
    static constexpr int32_t kMaxContextLines = 1000;
    bool line_numbers = false;  // the list shows each row's line number
    // Highlighters in order: an earlier one is drawn over a later one.
    std::vector<HighlightRule> highlight_rules = DefaultHighlightRules();

    bool operator==(const AppSettings&) const = default;
};

}  // namespace linesift
