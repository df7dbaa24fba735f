#pragma once

class QEvent;

namespace linesift {

// Answers a ShortcutOverride event sent to an edit of the window: only
// Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+Z stay with the edit; every other shortcut
// reaches the window's commands. Returns what the edit's event() returns.
bool KeepOnlyEditShortcuts(QEvent* event);

}  // namespace linesift
