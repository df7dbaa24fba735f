#include "views/line_list_painter.h"

#include <QScrollBar>

#include "views/char_advances.h"
#include "views/line_list_view.h"
#include "views/list_font.h"
#include "views/markup_painter.h"

namespace linesift {
namespace {

const QColor kBackground(255, 255, 255);
const QColor kSelected(230, 230, 230);
const QColor kSeparator(240, 240, 240);
const QColor kMarqueeBorder(134, 143, 191);
const QColor kMarqueeTint(76, 96, 190, 36);

}  // namespace

void LineListPainter::Paint(const QRect& dirty) {
    QPainter painter(list_.viewport());
    painter.fillRect(dirty, kBackground);
    painter.setFont(ListFont());
    const int hx = list_.horizontalScrollBar()->value();
    const int vy = list_.verticalScrollBar()->value();
    const int viewWidth = list_.viewport()->width();
    const int docWidth = list_.word_wrap_ ? viewWidth : std::max(list_.content_width_, viewWidth);
    painter.translate(-hx, -vy);
    const QRect view = dirty.translated(hx, vy);
    const int64_t rows = list_.ShownRowCount();
    for (int64_t i = view.top() / LineListView::kRowHeight;
         i < rows && i * LineListView::kRowHeight <= view.bottom(); ++i) {
        QRect rowRect(0, static_cast<int>(i * LineListView::kRowHeight), docWidth,
                      LineListView::kRowHeight);
        if (rowRect.intersects(view)) {
            PaintRow(painter, i, rowRect);
        }
    }
    DrawMarquee(painter);
}

void LineListPainter::PaintRow(QPainter& painter, int64_t shownIndex, const QRect& r) {
    const TextRow& row = list_.ShownRowRef(shownIndex);
    const QRect background = r.adjusted(6, 0, 0, 0);
    if (background.isEmpty()) {
        return;
    }
    if (list_.IsSelected(row)) {
        painter.fillRect(background, kSelected);
    }
    const QRectF text(r.left() + 8, r.top(), r.width() - 10, r.height());
    if (!text.isEmpty()) {
        DrawRowText(painter, row, text);
    }
    const int rowCount = list_.word_wrap_ ? static_cast<int>(row.rowCount) : 1;
    const int subRow = list_.word_wrap_ ? static_cast<int>(row.subRow) : 0;
    if (list_.hasFocus() && list_.caret_line_ == static_cast<int64_t>(row.line)) {
        QRect lineRect(background.left(), r.top() - subRow * LineListView::kRowHeight,
                       background.width(), rowCount * LineListView::kRowHeight);
        painter.save();
        painter.setClipRect(background);
        QPen pen(Qt::black, 1, Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(lineRect.adjusted(0, 0, -1, -1));
        painter.restore();
        return;
    }
    if (subRow != rowCount - 1) {
        return;
    }
    painter.fillRect(QRect(background.left(), background.bottom(), background.width(), 1),
                     kSeparator);
}

void LineListPainter::DrawRowText(QPainter& painter, const TextRow& row, const QRectF& t) {
    int64_t start = 0;
    int64_t end = 0;
    if (list_.RowDisplayText(row, start, end).empty()) {
        return;
    }
    CharAdvances& advances = ListFontAdvances();
    const QFontMetricsF& metrics = advances.Metrics();
    const double baseline = t.top() + (t.height() - metrics.height()) / 2 + metrics.ascent();
    const double clipLeft =
        std::max(t.left(), static_cast<double>(list_.horizontalScrollBar()->value()));
    const double clipRight = std::min(t.right(), clipLeft + list_.viewport()->width() + 1);
    std::u16string_view line = list_.LineText(row.line);
    auto isTrail = [&line](int64_t i) {
        return line[static_cast<size_t>(i)] >= 0xDC00 && line[static_cast<size_t>(i)] <= 0xDFFF;
    };
    auto step = [&](int64_t i, double x) {
        char16_t c = line[static_cast<size_t>(i)];
        return c == u'\t' ? t.left() + advances.NextTabStop(x - t.left()) : x + advances.Of(c);
    };
    // The first character that can be seen, found from remembered positions
    // on long lines; only what can be seen is marked up and drawn.
    int64_t first = start;
    double x = t.left();
    if (!list_.word_wrap_) {
        auto [offset, at] = list_.geometry_.Seek(row.line, line, clipLeft - t.left(), advances);
        first = static_cast<int64_t>(offset);
        x = t.left() + at;
    }
    for (double next; first < end && (next = step(first, x)) < clipLeft; ++first) {
        x = next;
    }
    if (first > start && first < end && isTrail(first)) {
        --first;
    }
    int64_t last = first;
    for (double w = x; last < end && w <= clipRight; ++last) {
        w = step(last, w);
    }
    if (last < end && isTrail(last)) {
        ++last;
    }
    const std::vector<HighlightRange>* ranges = list_.HighlightsFor(row);
    if (ranges == nullptr) {
        painter.setPen(Qt::black);
        DrawTabbedText(painter,
                       line.substr(static_cast<size_t>(first), static_cast<size_t>(last - first)),
                       x, baseline, t.left(), clipLeft, clipRight, advances);
        return;
    }
    std::u16string markup =
        BuildHighlightMarkup(line, first, last, *ranges, list_.highlight_color_);
    QRectF rect(x, t.top(), t.right() - x, t.height());
    DrawMarkup(painter, markup, rect, kSingleLine | kVCenter | kExpandTabs, MarkupStyle{}, advances,
               t.left());
}

void LineListPainter::DrawMarquee(QPainter& painter) {
    if (!list_.dragging_ || list_.press_point_ == list_.current_point_) {
        return;
    }
    QRect m = QRect(list_.press_point_, list_.current_point_).normalized();
    m.translate(list_.horizontalScrollBar()->value(), list_.verticalScrollBar()->value());
    painter.setPen(kMarqueeBorder);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(m);
    if (m.width() >= 3 && m.height() >= 3) {
        painter.fillRect(m.adjusted(0, 0, 1, 1), kMarqueeTint);
    }
}

}  // namespace linesift
