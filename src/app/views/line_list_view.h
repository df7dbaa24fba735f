#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/text_document.h"
#include "filter/compiled_query.h"
#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "markup/color_markup.h"
#include "views/line_geometry.h"

namespace linesift {

class CharAdvances;
struct HighlightRun;
struct RowPaintInput;
}  // namespace linesift
namespace linesift {
class LineViewer;

// One visual row: a document line, or one piece of a wrapped line.
// 16 bytes; rows are kept in one array, never allocated one by one.
struct TextRow {
    uint32_t line;           // index of the document line
    uint32_t subRow;         // 0 for the line's first row
    int32_t width;           // measured text width + 10, -1 until measured
    uint32_t matched : 1;    // the line matched the last query
    uint32_t rowCount : 31;  // the rows of the line: more than 1 when word wrap splits it
};
static_assert(sizeof(TextRow) == 16);

// The line list: the document as rows of 20 pixels, filtered by the current
// query, with the matches highlighted, lines selected with the mouse and
// copied. The selection lives in the document lines, so it survives
// filtering. All of it runs on the user-interface thread.
class LineListView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 20;
    static constexpr int kHorizontalStep = 30;
    static constexpr int kWrapInset = 10;

    // document belongs to the caller and outlives the list.
    explicit LineListView(TextDocument& document, QWidget* parent = nullptr);
    ~LineListView() override;

    // Builds the rows from the document; the filter is not applied again.
    void Rebuild(bool redraw, bool resetScroll);
    // Drops every row.
    void Clear(bool redraw);
    // Applies a query: stores it and, when it is valid (or empty), shows the
    // rows its filter mode asks for. An invalid query changes nothing shown.
    void SetFilter(const FilterRequest& request);
    // A filter whose pass runs elsewhere, in steps. BeginFilter takes the
    // request (valid, with text); the rows shown stay until the first chunk.
    // Each chunk shows the rows of lines [begin, end), whose matched bits
    // words holds from line begin on; the chunks come in document order.
    // FinishFilter shows the pass's complete result.
    void BeginFilter(const FilterRequest& request);
    void ApplyFilterChunk(size_t begin, size_t end, const std::vector<uint64_t>& words);
    void FinishFilter(const FilterResult& result);
    // The pass begun with BeginFilter stops here: the rows of its chunks stay
    // (PartialFilterLines says how far they reach), and none when no chunk came.
    void CancelFilter();
    // The lines whose verdict the rows shown reflect, while a pass begun with
    // BeginFilter is shown only in part; -1 otherwise.
    int64_t PartialFilterLines() const {
        return partial_ ? static_cast<int64_t>(partial_line_) : -1;
    }
    // The query the list applies (its text is empty for none).
    const FilterRequest& Filter() const { return filter_; }
    // The document grew (a followed file): lines from `from` on are new or
    // have a new text, with the verdicts in matched (bit i for line from + i)
    // shown as mode says. A list that showed its last row with nothing
    // selected keeps showing the last row; otherwise nothing moves.
    void AppendLines(size_t from, const LineBits& matched, FilterMode mode);
    // Word wrap on or off; rebuilds when asked (the caller applies the query again).
    void SetWordWrap(bool on, bool rebuild, bool redraw);
    // The background of highlighted matches, as 0xRRGGBB.
    void SetHighlightColor(uint32_t rgb) {
        highlight_color_ = rgb;
        viewport()->update();
    }

    int64_t FilteredLineCount() const { return shown_lines_; }
    bool IsFiltered() const { return !filter_.text.empty() && filtered_; }
    std::u16string RowLineText(int64_t shownIndex) const;
    int64_t ShownRowCount() const {
        return filtered_ ? static_cast<int64_t>(shown_.size()) : static_cast<int64_t>(rows_.size());
    }
    const TextRow* ShownRow(int64_t shownIndex) const;
    // The shown row under a point in document coordinates, or -1.
    int64_t RowFromPoint(QPoint documentPoint) const;

    void SelectAll();
    void SelectInverse();
    void Deselect();
    // Puts the selected shown lines on the clipboard, joined by LF. Returns
    // how many; 0 when none were selected or the clipboard did not take them.
    int64_t CopySelection();
    int64_t SelectedLineCount() const;
    bool HasSelection() const { return SelectedLineCount() > 0; }
    // Whether the list had the keyboard focus last (the frame returns it there).
    bool HadFocus() const { return had_focus_; }

    // Whether a document line is selected (shown or not).
    bool IsLineSelected(size_t line) const { return lines_.IsSelected(line); }
    // The rows a document line takes, 0 for a line beyond the document.
    int64_t LineRowCount(size_t line) const;

    // The text and the character range of the line that a shown row shows.
    std::u16string_view RowDisplayText(const TextRow& row, int64_t& start, int64_t& end) const;

  signals:
    // The user asked for the context menu at a point of the screen; the
    // window around the list offers its commands there.
    void contextMenuRequested(QPoint globalPos);
    // A message for the status bar, shown for ms milliseconds.
    void statusMessage(const QString& text, int ms);
    // A long step starts (text says which, to be shown at once) or ends
    // (text is empty: the earlier message comes back).
    void busy(const QString& text);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    const TextRow& ShownRowRef(int64_t i) const {
        return filtered_ ? rows_[shown_[static_cast<size_t>(i)]] : rows_[static_cast<size_t>(i)];
    }
    TextRow& ShownRowRef(int64_t i) {
        return filtered_ ? rows_[shown_[static_cast<size_t>(i)]] : rows_[static_cast<size_t>(i)];
    }
    // The text of a document line; valid until the text of another line is asked for.
    std::u16string_view LineText(uint32_t line) const;
    bool IsSelected(const TextRow& row) const { return lines_.IsSelected(row.line); }
    void SetSelected(const TextRow& row, bool selected) { lines_.SetSelected(row.line, selected); }
    void DropRows();
    void BuildRows();
    void BuildShownRows(bool applyModes);
    void ApplyFilterResult(FilterResult result);
    // Shows the rows from scratch after a new filter: scroll at the top.
    void ResetShownRows();
    // Takes the pending request and shows none of its rows yet.
    void StartPartialRows();
    void CountShownLines();
    void UpdateScrollRanges(bool resetPosition);
    int VerticalPage() const;
    double WrapWidth() const;
    void Reformat();
    void EnsureHorizontalExtent();
    int32_t MeasureRowWidth(TextRow& row);
    QPoint ToDocument(QPoint viewportPoint) const;
    void SelectRange(int64_t a, int64_t b);
    // SelectRange for a drag: after the first move it only visits the rows
    // that enter or leave the range, so a drag over millions of rows stays fast.
    void DragSelectRange(int64_t a, int64_t b);
    void ClearShownSelection();
    void SelectionChanged() const { selected_count_ = -1; }
    // The shown index of rows_[rowIndex], or -1 when it is not shown.
    int64_t ShownIndexOfRow(int64_t rowIndex) const;
    void OpenLineViewer(int64_t shownIndex);
    void HideLineViewers();
    void ScrollRows(int rows);
    // The highlight ranges of a row's line under the current filter, or null
    // when it has none; cached per line until the filter or rows change.
    const std::vector<HighlightRange>* HighlightsFor(const TextRow& row);
    // What a shown row is painted from; runs receives its highlight runs.
    RowPaintInput RowPaintInputOf(int64_t shownIndex, const QRect& rowRect,
                                  std::vector<HighlightRun>& runs);

    TextDocument& document_;
    FilterRequest filter_;
    // A pass begun with BeginFilter: its request until its first chunk, and
    // how far its chunks have come (in lines and in rows_).
    std::optional<FilterRequest> pending_filter_;
    bool partial_ = false;
    size_t partial_line_ = 0;
    size_t partial_row_ = 0;
    std::vector<TextRow> rows_;    // every row, in document order
    std::vector<uint32_t> shown_;  // indices into rows_ while filtered_
    bool filtered_ = false;
    // The selection of document lines, and what the last filter pass found.
    FilteredLines lines_;
    mutable std::u16string line_buffer_;
    mutable int64_t buffered_line_ = -1;  // the line whose text is in line_buffer_
    int64_t shown_lines_ = 0;
    mutable int64_t selected_count_ = -1;  // cached; -1 when unknown
    int64_t caret_line_ = -1;
    int64_t anchor_index_ = -1;  // index into rows_ of the row Shift+click extends from
    bool word_wrap_ = false;
    QPoint press_point_;
    QPoint current_point_;
    bool dragging_ = false;
    int64_t drag_lo_ = -1;  // the range the drag selected last, -1 before the first move
    int64_t drag_hi_ = -1;
    bool reformat_pending_ = false;
    bool had_focus_ = false;
    int wheel_accumulator_ = 0;
    int wheel_sideways_accumulator_ = 0;
    int content_width_ = 1;
    uint32_t highlight_color_ = 0xFEE300;
    QSize last_size_;
    std::unique_ptr<CompiledQuery> highlight_query_;  // built from filter_ when first needed
    LineGeometryCache geometry_;
    std::unordered_map<uint32_t, std::vector<HighlightRange>> highlights_;
    size_t highlights_size_ = 0;
    LineViewer* single_viewer_;
    LineViewer* multi_viewer_;
};

}  // namespace linesift
