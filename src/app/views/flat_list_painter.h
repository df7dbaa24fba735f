#pragma once

#include <QPainter>
#include <QRect>
#include <vector>

#include "views/search_box_colors.h"

namespace linesift {

struct FlatListItem;

// Paints the items of a flat list top to bottom, each itemHeight pixels high
// over the full width: the hot item shaded, its text in the list font with an
// ellipsis when it does not fit; the plain item colour below the last item.
void PaintFlatList(QPainter& painter, const QRect& client, int itemHeight,
                   const std::vector<FlatListItem>& items, const BoxColors& colors = BoxColors{});

}  // namespace linesift
