#include "views/flat_list.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

#include "views/flat_list_painter.h"
#include "views/palette_colors.h"

namespace linesift {

FlatList::FlatList(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("FlatList"));
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FlatList::SetItems(const std::vector<std::u16string>& texts) {
    items_.clear();
    items_.reserve(texts.size());
    for (const std::u16string& text : texts) {
        items_.push_back(FlatListItem{.text = text});
    }
    update();
}

int FlatList::HotIndex() const {
    auto it = std::find_if(items_.begin(), items_.end(), [](const auto& i) { return i.hot; });
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void FlatList::SetHot(int index) {
    if (index == HotIndex()) {
        return;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i].hot = static_cast<int>(i) == index;
    }
    update();
}

void FlatList::MoveHot(bool down) {
    if (items_.empty()) {
        return;
    }
    const int hot = HotIndex();
    if (down) {
        SetHot(hot < 0 || hot == Count() - 1 ? 0 : hot + 1);
    } else {
        SetHot(hot <= 0 ? Count() - 1 : hot - 1);
    }
}

int FlatList::SelectedIndex() const {
    auto it = std::find_if(items_.begin(), items_.end(), [](const auto& i) { return i.selected; });
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void FlatList::SetSelected(int index) {
    if (index == SelectedIndex()) {
        return;
    }
    for (size_t i = 0; i < items_.size(); ++i) {
        items_[i].selected = static_cast<int>(i) == index;
    }
    update();
    emit selectionChanged(index);
}

void FlatList::ClearMarks() {
    for (FlatListItem& item : items_) {
        item.hot = false;
        item.selected = false;
    }
    update();
}

int FlatList::ItemAt(QPoint point) const {
    if (!rect().contains(point)) {
        return -1;
    }
    const int index = point.y() / kItemHeight;
    return index < Count() ? index : -1;
}

void FlatList::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    PaintFlatList(painter, rect(), kItemHeight, items_, BoxColorsOf(palette()));
}

void FlatList::mouseMoveEvent(QMouseEvent* event) {
    SetHot(ItemAt(event->position().toPoint()));
}

void FlatList::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    const int index = ItemAt(event->position().toPoint());
    if (index >= 0) {
        SetSelected(index);
    }
}

void FlatList::leaveEvent(QEvent* /*event*/) {
    SetHot(-1);
}

}  // namespace linesift
