#pragma once

#include <QColor>
#include <QPalette>
#include <QRgb>

#include "views/row_painter.h"
#include "views/search_box_colors.h"

namespace linesift {

// Colours worked out from the desktop's palette, so that the list, the
// search box, its popup and the dialogs stay readable on light and dark
// themes. A light palette keeps the program's own light colours.

// True when the palette's text background (Base) is darker than its text.
bool IsDarkPalette(const QPalette& palette);

// a moved towards b by t (0: a, 1: b), channel by channel.
QColor Blend(const QColor& a, const QColor& b, double t);

// The list's colours: Base and Text, a selection shade and a separator a
// little from Base towards Text, the focus frame in Text.
RowColors RowColorsOf(const QPalette& palette);

// The search box's and popup's colours: the fixed light ones on a light
// palette, shades of Base, Text and Highlight on a dark one.
BoxColors BoxColorsOf(const QPalette& palette);

// The highlight colour the list paints with: the chosen one, except that
// the default yellow becomes a darker amber on a dark palette.
QRgb HighlightFor(QRgb chosen, const QPalette& palette);

// The background of a field whose text is in error (the Regex Tester's
// pattern): light red on light palettes, dark red on dark ones.
QColor InvalidFieldColor(const QPalette& palette);

// A page of HTML written in black on white and light greys (the Regex
// Tester's) in the palette's colours: unchanged on a light palette, Text on
// shades of Base on a dark one.
QString PageInPalette(const QString& html, const QPalette& palette);

// The palettes View > Theme applies: Fusion's light palette and a dark one
// with the same roles.
QPalette LightPalette();
QPalette DarkPalette();

}  // namespace linesift
