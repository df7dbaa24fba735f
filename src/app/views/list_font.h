#pragma once

#include <QFont>

namespace linesift {

// The one font of the line list, its wrap measuring, the line viewers and the
// search box: "Tahoma" at pixel size 14, falling back to the system's
// sans-serif. Kerning and shaping are off where the script allows, so a
// text's width is the sum of its characters' advances and pieces drawn apart
// line up with pieces drawn together. Created on first use; needs a
// QGuiApplication.
const QFont& ListFont();

}  // namespace linesift
