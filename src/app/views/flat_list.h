#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

namespace linesift {

// One row of a FlatList.
struct FlatListItem {
    bool hot = false;       // under the pointer or reached with the arrow keys
    bool selected = false;  // clicked
    std::u16string text;
};

// A plain list of one-line texts, 20 pixels a row, without scrolling: the
// item under the pointer is hot, and a click selects an item. It never takes
// the focus; the keyboard reaches it through its owner.
class FlatList : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kItemHeight = 20;

    explicit FlatList(QWidget* parent);

    // Replaces the items; none is hot or selected.
    void SetItems(const std::vector<std::u16string>& texts);
    int Count() const { return static_cast<int>(items_.size()); }
    const FlatListItem& Item(int index) const { return items_[static_cast<size_t>(index)]; }
    const std::vector<FlatListItem>& Items() const { return items_; }

    // The hot item, or -1.
    int HotIndex() const;
    // Makes index hot (-1: none).
    void SetHot(int index);
    // Moves the hot item by one, as the arrow keys do: Down from the last
    // item or from none goes to the first, Up from the first or none to the last.
    void MoveHot(bool down);
    // The selected item, or -1.
    int SelectedIndex() const;
    // Selects index (-1: none); emits selectionChanged when it changed.
    void SetSelected(int index);
    // Neither hot nor selected items remain.
    void ClearMarks();
    // The item at a point of the list, or -1.
    int ItemAt(QPoint point) const;

  signals:
    void selectionChanged(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    std::vector<FlatListItem> items_;
};

}  // namespace linesift
