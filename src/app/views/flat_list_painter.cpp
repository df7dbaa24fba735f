#include "views/flat_list_painter.h"

#include "qt_text.h"
#include "views/flat_list.h"
#include "views/list_font.h"
#include "views/search_box_colors.h"

namespace linesift {

namespace {

constexpr int kTextInset = 5;

void PaintItem(QPainter& painter, const QRect& rect, const FlatListItem& item,
               const BoxColors& colors) {
    painter.fillRect(rect, item.hot ? colors.suggestion_hot : colors.suggestion);
    const QRect textRect = rect.adjusted(kTextInset, 0, -kTextInset, 0);
    const QString text =
        painter.fontMetrics().elidedText(ToQString(item.text), Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

}  // namespace

void PaintFlatList(QPainter& painter, const QRect& client, int itemHeight,
                   const std::vector<FlatListItem>& items, const BoxColors& colors) {
    painter.setFont(ListFont());
    painter.setPen(colors.suggestion_text);
    QRect row(client.left(), client.top(), client.width(), itemHeight);
    for (const FlatListItem& item : items) {
        if (row.top() > client.bottom()) {
            return;
        }
        PaintItem(painter, row, item, colors);
        row.translate(0, itemHeight);
    }
    if (row.top() <= client.bottom()) {
        painter.fillRect(QRect(row.topLeft(), client.bottomRight()), colors.suggestion);
    }
}

}  // namespace linesift
