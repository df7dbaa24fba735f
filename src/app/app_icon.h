#pragma once

#include <QIcon>

namespace linesift {

// The application icon in every size drawn for it (16 to 256 pixels), from
// the program's resources; the window icon of every Linesift window.
QIcon ApplicationIcon();

}  // namespace linesift
