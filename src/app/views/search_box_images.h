#pragma once

#include <QPixmap>

#include "views/search_box_colors.h"

namespace linesift {

// The artwork of the search box, drawn once per device pixel ratio and set
// of colours, so it stays crisp on every screen and follows the palette.

// One image of the clear button, 19 x 19 logical pixels: a small cross on
// the box interior of its state. 0 idle, 1 pointer over the box, 2 editing,
// 3 pushed, 4 pointer over the button (3 and 4 are shaded squares).
QPixmap ClearButtonImage(int index, qreal devicePixelRatio, const BoxColors& colors = {});
inline constexpr int kClearButtonImageCount = 5;
inline constexpr int kSearchBoxImageSize = 19;

// The magnifier shown while the box is empty, 19 x 19 logical pixels, on a
// transparent background.
QPixmap MagnifierImage(qreal devicePixelRatio, const BoxColors& colors = {});

}  // namespace linesift
