#include "views/line_number_gutter.h"

#include <QMouseEvent>
#include <QPainter>

#include "views/list_font.h"
#include "views/palette_colors.h"

namespace linesift {
namespace {

constexpr int kPadding = 6;  // on either side of the numbers

}  // namespace

LineNumberGutter::LineNumberGutter(RowLine rowLine, int rowHeight, QWidget* parent)
    : QWidget(parent), row_line_(std::move(rowLine)), row_height_(rowHeight) {
    setObjectName(QStringLiteral("LineNumberGutter"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFont(ListFont());
    setCursor(Qt::ArrowCursor);
}

int LineNumberGutter::WidthFor(size_t lineCount) const {
    const QString widest(QString::number(std::max<size_t>(lineCount, 1)).size(), QLatin1Char('9'));
    return fontMetrics().horizontalAdvance(widest) + 2 * kPadding;
}

void LineNumberGutter::SetTop(int64_t top) {
    if (top != top_) {
        top_ = top;
        update();
    }
}

void LineNumberGutter::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.fillRect(event->rect(), RowColorsOf(palette()).background);
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int64_t first = (top_ + event->rect().top()) / row_height_;
    for (int64_t row = first; row * row_height_ - top_ <= event->rect().bottom(); ++row) {
        const int64_t line = row_line_(row);
        if (line < 0) {
            continue;
        }
        const QRect rect(0, static_cast<int>(row * row_height_ - top_), width() - kPadding,
                         row_height_);
        painter.drawText(rect, Qt::AlignRight | Qt::AlignVCenter, QString::number(line + 1));
    }
}

void LineNumberGutter::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        emit rowPressed((top_ + event->position().toPoint().y()) / row_height_, event->modifiers());
    }
}

}  // namespace linesift
