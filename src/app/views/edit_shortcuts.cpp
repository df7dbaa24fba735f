#include "views/edit_shortcuts.h"

#include <QKeyEvent>

namespace linesift {

bool KeepOnlyEditShortcuts(QEvent* event) {
    const auto* key = static_cast<const QKeyEvent*>(event);
    const int k = key->key();
    const bool kept = (key->modifiers() & Qt::ControlModifier) != 0 &&
                      (k == Qt::Key_C || k == Qt::Key_X || k == Qt::Key_V || k == Qt::Key_Z);
    event->setAccepted(kept);
    return kept;
}

}  // namespace linesift
