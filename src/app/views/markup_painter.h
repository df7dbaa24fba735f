#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>
#include <QSizeF>
#include <string_view>
#include <vector>

#include "markup/color_markup.h"
#include "views/char_advances.h"

namespace linesift {

// Flags of DrawMarkup.
enum MarkupFlags : int {
    kSingleLine = 1,
    kVCenter = 2,
    kExpandTabs = 4,
};

// The style outside colour tags.
struct MarkupStyle {
    QColor text = Qt::black;
    QColor background = Qt::white;
    bool opaque = false;
};

// Draws the colour markup into rect, left to right, stopping at the right
// edge. Tabs (with kExpandTabs) advance to stops every 8 average character
// widths counted from tabOrigin. Nothing is drawn without kSingleLine.
// Returns the advance and the height.
QSizeF DrawMarkup(QPainter& painter, std::u16string_view markup, const QRectF& rect, int flags,
                  const MarkupStyle& style, CharAdvances& advances, double tabOrigin);

// Draws text at x (baseline y) with tabs expanded from tabOrigin, skipping
// what lies left of clipLeft and stopping past clipRight; returns the x
// after the last character (or where drawing stopped).
double DrawTabbedText(QPainter& painter, std::u16string_view text, double x, double baseline,
                      double tabOrigin, double clipLeft, double clipRight, CharAdvances& advances);

}  // namespace linesift
