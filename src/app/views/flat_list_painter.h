#pragma once

#include <QPainter>
#include <QRect>
#include <vector>

namespace linesift {

struct FlatListItem;

// Paints the items of a flat list top to bottom, each itemHeight pixels high
// over the full width: the hot item shaded, its text in the list font with an
// ellipsis when it does not fit; white below the last item.
void PaintFlatList(QPainter& painter, const QRect& client, int itemHeight,
                   const std::vector<FlatListItem>& items);

}  // namespace linesift
