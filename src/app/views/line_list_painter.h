#pragma once

#include <QPainter>
#include <QRect>
#include <vector>

#include "markup/color_markup.h"

namespace linesift {

class LineListView;
struct TextRow;

// Draws the rows of a LineListView that intersect the view: selection
// shading, separators, the focus rectangle around the caret line, the drag
// marquee, and the row text with the query's matches highlighted. Only the
// characters that can be seen are measured and drawn, so lines of
// megabytes paint as fast as short ones.
class LineListPainter {
  public:
    explicit LineListPainter(LineListView& list) : list_(list) {}

    // Paints the dirty part of the list's viewport.
    void Paint(const QRect& dirty);

  private:
    void PaintRow(QPainter& painter, int64_t shownIndex, const QRect& rowRect);
    void DrawRowText(QPainter& painter, const TextRow& row, const QRectF& textRect);
    void DrawMarquee(QPainter& painter);

    LineListView& list_;
};

}  // namespace linesift
