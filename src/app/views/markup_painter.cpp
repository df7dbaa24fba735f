#include "views/markup_painter.h"

#include "qt_text.h"

namespace linesift {

double DrawTabbedText(QPainter& painter, std::u16string_view text, double x, double baseline,
                      double tabOrigin, double clipLeft, double clipRight, CharAdvances& advances) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && x < clipRight) {
        if (text[i] == u'\t') {
            x = tabOrigin + advances.NextTabStop(x - tabOrigin);
            ++i;
            continue;
        }
        // A run up to the next tab; only its visible part is drawn.
        size_t runEnd = i;
        double runX = x;
        size_t first = n;
        double firstX = x;
        while (runEnd < n && text[runEnd] != u'\t' && runX < clipRight) {
            double w = advances.Of(text[runEnd]);
            if (first == n && runX + w >= clipLeft &&
                !(text[runEnd] >= 0xDC00 && text[runEnd] <= 0xDFFF)) {
                first = runEnd;
                firstX = runX;
            }
            runX += w;
            ++runEnd;
        }
        if (runEnd < n && runEnd > 0 && text[runEnd - 1] >= 0xD800 && text[runEnd - 1] <= 0xDBFF) {
            ++runEnd;  // keep a pair whole
        }
        if (first < runEnd) {
            painter.drawText(QPointF(firstX, baseline),
                             ToQString(text.substr(first, runEnd - first)));
        }
        x = runX;
        i = runEnd;
    }
    return x;
}

QSizeF DrawMarkup(QPainter& painter, std::u16string_view markup, const QRectF& rect, int flags,
                  const MarkupStyle& style, CharAdvances& advances, double tabOrigin) {
    if (markup.empty() || !(flags & kSingleLine)) {
        return {};
    }
    const QFontMetricsF& metrics = advances.Metrics();
    double height = metrics.height();
    double top = (flags & kVCenter) ? rect.top() + (rect.height() - height) / 2 : rect.top();
    double baseline = top + metrics.ascent();
    double x = rect.left();
    for (const MarkupSegment& segment : ParseMarkup(markup)) {
        if (x >= rect.right() || segment.text.empty()) {
            break;
        }
        std::u16string text = HtmlUnescape(segment.text);
        double width = advances.Advance(text, x - tabOrigin) - (x - tabOrigin);
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        bool opaque = style.opaque || segment.background.has_value();
        QColor bg = segment.background ? QColor::fromRgb(*segment.background) : style.background;
        if (opaque) {
            painter.fillRect(
                QRectF(x, rect.top(), std::min(width, rect.right() - x), rect.height()), bg);
        }
        painter.setPen(segment.foreground ? QColor::fromRgb(*segment.foreground) : style.text);
        DrawTabbedText(painter, text, x, baseline, tabOrigin, rect.left(), rect.right(), advances);
        painter.restore();
        x += width;
    }
    return {x - rect.left(), height};
}

}  // namespace linesift
