#pragma once

#include <QPainter>
#include <QRect>
#include <QString>

#include "views/search_box_colors.h"

namespace linesift {

// The layout of the search box inside its client rectangle.
struct SearchBoxLayout {
    // Where the edit sits, and where the box draws the text while idle.
    static QRect EditRect(const QRect& client) {
        return QRect(QPoint(client.left() + 4, client.top() + 4),
                     QPoint(client.right() - 23, client.bottom() - 2));
    }
    // The clear button, or the magnifier while the text is empty: 19 pixels wide.
    static QRect IconRect(const QRect& client) {
        return QRect(QPoint(client.right() - 20, client.top() + 2),
                     QPoint(client.right() - 2, client.bottom() - 2));
    }
    // Where the top-aligned edit draws its text inside its rectangle; the
    // idle text is drawn at the same place so it does not move when editing
    // starts.
    static constexpr int kTextInset = 2;
    static constexpr int kTextTopInset = 1;
};

// The state the box is painted in.
struct SearchBoxLook {
    bool editing = false;  // the edit is shown and paints the text itself
    bool hovered = false;  // the pointer is over the box
    bool invalid = false;  // the query does not compile
    QString text;
    BoxColors colors;  // from the box's palette (BoxColorsOf)
};

// Paints the search box: frame, interior in the colour of its state, the
// idle text with an ellipsis when it does not fit, and the magnifier while
// the text is empty.
void PaintSearchBox(QPainter& painter, const QRect& client, const SearchBoxLook& look);

}  // namespace linesift
