#include "views/search_box_painter.h"

#include <QFontMetrics>

#include "views/list_font.h"
#include "views/search_box_colors.h"
#include "views/search_box_images.h"

namespace linesift {

namespace {

const QColor& InteriorColor(const SearchBoxLook& look) {
    if (look.invalid) {
        return look.colors.invalid;
    }
    if (look.editing) {
        return look.colors.editing;
    }
    return look.hovered ? look.colors.hover : look.colors.idle;
}

void DrawIdleText(QPainter& painter, const QRect& client, const QString& text,
                  const QColor& color) {
    const QRect area = SearchBoxLayout::EditRect(client).adjusted(
        SearchBoxLayout::kTextInset, SearchBoxLayout::kTextTopInset, -1, 0);
    painter.setFont(ListFont());
    painter.setPen(color);
    const QFontMetrics metrics = painter.fontMetrics();
    const QString shown = metrics.elidedText(text, Qt::ElideRight, area.width());
    // On the edit's baseline: its line top plus the font's ascent (a text
    // layout's line may be taller when fallback fonts take part).
    painter.save();
    painter.setClipRect(area);
    painter.drawText(QPoint(area.left(), area.top() + metrics.ascent()), shown);
    painter.restore();
}

}  // namespace

void PaintSearchBox(QPainter& painter, const QRect& client, const SearchBoxLook& look) {
    // Filled, not stroked: a one-pixel pen covers only one device pixel of
    // the frame at a device pixel ratio above 1, and the box paints opaquely.
    painter.fillRect(client, look.colors.frame);
    painter.fillRect(client.adjusted(1, 1, -1, -1), InteriorColor(look));
    if (look.text.isEmpty()) {
        painter.drawPixmap(SearchBoxLayout::IconRect(client).topLeft(),
                           MagnifierImage(painter.device()->devicePixelRatioF(), look.colors));
    } else if (!look.editing) {
        DrawIdleText(painter, client, look.text, look.colors.idle_text);
    }
}

}  // namespace linesift
