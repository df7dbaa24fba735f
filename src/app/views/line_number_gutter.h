#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>

namespace linesift {

// The strip left of the list's rows that shows each row's line number in the
// file: right-aligned, in the palette's placeholder colour, on the first row
// of a wrapped line only. A click selects the row's line. The list owns it,
// places it in its left margin and tells it what to show.
class LineNumberGutter : public QWidget {
    Q_OBJECT
  public:
    // The 0-based line a visual row starts, or -1 for a row that goes on
    // with a wrapped line (and for a row past the end).
    using RowLine = std::function<int64_t(int64_t row)>;

    LineNumberGutter(RowLine rowLine, int rowHeight, QWidget* parent);

    // The width that holds the largest number of a document of lineCount lines.
    int WidthFor(size_t lineCount) const;
    // The vertical scroll position in pixels: row r lies at r * rowHeight - top.
    void SetTop(int64_t top);

  signals:
    // A press on the row: the list selects its line.
    void rowPressed(int64_t row, Qt::KeyboardModifiers modifiers);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    RowLine row_line_;
    int row_height_;
    int64_t top_ = 0;
};

}  // namespace linesift
