#pragma once

#include <QStyle>
#include <span>

#include "document/text_encoding.h"
#include "settings/app_settings.h"

namespace linesift {

class MainFrame;

// What the enabled and checked rules of the commands look at, gathered once
// per refresh.
struct CommandState {
    const AppSettings& settings;
    bool has_lines = false;       // the document has lines
    bool shown_rows = false;      // the list shows at least one row
    bool modified = false;        // the document has unsaved changes
    bool clipboard = false;       // the clipboard holds text
    bool selection = false;       // lines are selected
    bool filter_results = false;  // a query filters the list and something matched
    bool query_history = false;   // the search box has a history to clear
    bool in_list_menu = false;    // the rules are asked for the list's context menu
    bool followable = false;      // the document's file can be followed (MainFrame::IsFollowable)
    bool reopenable = false;      // the document was read from a file that can be read again
    // The encoding the document was reopened with; Detect when none was chosen.
    int32_t encoding = Detect;
    bool other_code_page = false;  // a code page other than the legacy one was chosen
};

// One command of the window: everything the menus, the tool bar, the
// shortcuts, the list's context menu and the state refresh need to know.
struct Command {
    int id;                   // a cmd:: id; stored in the action's data
    const char* text;         // the menu text with its & mnemonic
    const char* prompt = "";  // "status line\ntool tip"; empty for none
    const char* keys = "";    // the shortcut, as QKeySequence reads it
    // The menu it sits in: "&File", or a submenu "&File/&Import" made on
    // first use. Empty: in no menu.
    const char* menu = "";
    bool separator = false;  // a separator before it (or its submenu)
    void (*run)(MainFrame&) = nullptr;
    bool (*enabled)(const CommandState&) = nullptr;  // null: always enabled
    bool (*checked)(const CommandState&) = nullptr;  // null: not checkable
    int radio_group = 0;                             // non-zero: one of a group checked at a time
    bool tool_bar = false;                           // a button on the tool bar
    const char* icon = "";  // the tool bar button's icon by its freedesktop name (ToolIcon)
    QStyle::StandardPixmap fallback_icon = QStyle::SP_CustomBase;
    bool list_menu = false;            // an item of the list's context menu
    bool list_menu_separator = false;  // a separator before it there
    bool needs_web_page = false;       // hidden when the build sets no web page
};

// The submenu that holds the recent files; its items are made from the
// settings, so the builder only creates it.
inline constexpr const char* kRecentFilesMenu = "&File/&Recent Files";
// The submenu of the encodings a document can be reopened with.
inline constexpr const char* kEncodingMenu = "&File/Reopen with &Encoding";

}  // namespace linesift
