#pragma once

#include <QAbstractScrollArea>
#include <QElapsedTimer>
#include <QPainter>
#include <QPoint>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "document/text_document.h"
#include "filter/compiled_query.h"
#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "filter/row_layout.h"
#include "highlight/line_highlighter.h"
#include "markup/color_markup.h"
#include "views/line_geometry.h"

namespace linesift {

class CharAdvances;
struct HighlightRun;
struct RowPaintInput;
class LineNumberGutter;
class LineViewer;
class LongLineWraps;
struct RowColors;

// What one visual row shows: a shown line, or one piece of a wrapped one.
// Made when asked for; the list keeps no record per row or per line.
struct TextRow {
    LineNo line = 0;       // the document line
    ShownNo shown = 0;     // its place among the shown lines
    int32_t subRow = 0;    // 0 for the line's first row
    int32_t rowCount = 1;  // the rows of the line: more than 1 when word wrap splits it
    uint32_t matched = 0;  // 1 when the line matched the last query
};

// The line list: the document as rows of 20 pixels, filtered by the current
// query, with the matches highlighted, lines selected with the mouse and
// copied. Which lines are shown, matched and selected lives in a
// FilteredLines; the list adds only the row layout: without word wrap a row
// is a shown line, with it a RowLayout counts the rows of each shown line,
// measured in steps that keep the window answering. All of it runs on the
// user-interface thread.
class LineListView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    static constexpr int kRowHeight = 20;
    static constexpr int kHorizontalStep = 30;
    static constexpr int kWrapInset = 10;
    // The longest a step of work on the window's thread (word wrap, copying)
    // runs before the window answers again.
    // Ten milliseconds leave room for painting and for a busy machine
    // within the 50 a user notices.
    static constexpr int kDefaultStepMs = 10;
    // Decoding 4 MB takes a few milliseconds; 300 MB takes 400.
    static constexpr uint64_t kBackgroundLineBytes = uint64_t{4} << 20;

    // document belongs to the caller and outlives the list.
    explicit LineListView(TextDocument& document, QWidget* parent = nullptr);
    ~LineListView() override;

    // Shows the document's lines afresh, none hidden, matched or selected;
    // the filter is not applied again.
    void Rebuild(bool redraw, bool resetScroll);
    // Shows nothing (the document is being replaced).
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
    void ApplyFilterChunk(LineNo begin, LineNo end, const std::vector<uint64_t>& words);
    void FinishFilter(const FilterResult& result);
    // The pass begun with BeginFilter stops here: the rows of its chunks stay
    // (PartialFilterLines says how far they reach), and none when no chunk came.
    void CancelFilter();
    // The lines whose verdict the rows shown reflect, while a pass begun with
    // BeginFilter is shown only in part; -1 otherwise.
    LineNo PartialFilterLines() const { return lines_.ChunksEnd(); }
    // The document grew (a followed file): lines from `from` on are new or
    // have a new text, with the verdicts in matched (bit i for line from + i)
    // shown as mode says. With word wrap the new lines take one row each
    // until measured. A list that showed its last row with nothing selected
    // keeps showing the last row; otherwise nothing moves.
    void AppendLines(LineNo from, const LineBits& matched, FilterMode mode);
    // Word wrap on or off; rebuilds when asked (the caller applies the query again).
    void SetWordWrap(bool on, bool rebuild, bool redraw);
    // The background of highlighted matches, as 0xRRGGBB.
    void SetHighlightColor(uint32_t rgb) {
        highlight_color_ = rgb;
        viewport()->update();
    }
    uint32_t HighlightColor() const { return highlight_color_; }

    // While a document loads into loading (which outlives the preview), the
    // list, showing nothing else, paints the first screen of the lines
    // loading has indexed so far, read-only: no scrolling, selection or
    // filter. Null ends the preview.
    void SetLoadPreview(const TextDocument* loading);
    // Asks loading how many lines it has indexed; repaints when the first
    // screen gains lines. Safe while the load runs on another thread.
    void UpdateLoadPreview();
    // The rows the preview paints; 0 without one.
    RowNo LoadPreviewRows() const { return preview_rows_; }
    // The document the preview shows; null without one.
    const TextDocument* LoadPreview() const { return preview_; }

    // The lines shown.
    ShownNo FilteredLineCount() const { return lines_.ShownCount(); }
    bool IsFiltered() const { return !filter_.text.empty() && lines_.IsFiltered(); }
    // What the list shows; the list's callers read it, the list changes it.
    const FilteredLines& Lines() const { return lines_; }
    // The text of the line that row shows (empty for no row).
    std::u16string RowLineText(RowNo row) const;
    RowNo ShownRowCount() const;
    // What row shows; nothing beyond the rows.
    std::optional<TextRow> ShownRow(RowNo row) const;
    // The row under a point in document coordinates, or -1.
    RowNo RowFromPoint(QPoint documentPoint) const;
    // Whether rows are still being measured for word wrap (in steps).
    bool IsLayingOut() const { return layout_timer_->isActive(); }
    // Whether the status bar shows the progress of that measuring.
    bool IsReformatting() const { return layout_busy_ && IsLayingOut(); }
    // The milliseconds of a step of word wrap or copying (at least a few
    // thousand lines are done each step); 0 for the default.
    void SetStepMsForTesting(int ms) { step_ms_ = ms > 0 ? ms : kDefaultStepMs; }
    // Each step of copying or of word wrap also ends after this many lines;
    // 0 for no such end.
    void SetStepLinesForTesting(LineNo lines) { step_lines_ = std::max<LineNo>(lines, 0); }
    // Where Copy learns how much memory is left (AvailableMemoryBytes by
    // default); a test gives it a figure that does not depend on the machine.
    void SetMemoryRoomForTesting(std::function<std::optional<uint64_t>()> room) {
        memory_room_ = std::move(room);
    }
    // Lines of at least this many bytes are decoded, and searched for the
    // query's and the highlighters' matches, on a thread of their own: their
    // rows paint empty until then. 0 restores the default.
    void SetBackgroundLineBytesForTesting(uint64_t bytes) {
        background_line_bytes_ = bytes > 0 ? bytes : kBackgroundLineBytes;
    }
    // Whether a line is being prepared on that thread.
    bool IsPreparingLine() const { return line_job_ != nullptr; }
    // How many lines that thread decoded.
    int BackgroundDecodesForTesting() const { return background_decodes_; }

    void SelectAll();
    void SelectInverse();
    void Deselect();
    // Puts the selected shown lines on the clipboard, joined by LF. Returns
    // how many; 0 when none were selected or the clipboard did not take them;
    // -1 when the copy goes on in steps, which then reports itself on the
    // status bar (a later copy or a new document cancels it).
    LineNo CopySelection();
    bool IsCopying() const { return copy_ != nullptr; }
    // Stops a copy going on in steps: the clipboard keeps what it had, and
    // the status bar says the copy was cancelled. False when none ran.
    bool StopCopy();
    ShownNo SelectedLineCount() const;
    bool HasSelection() const { return SelectedLineCount() > 0; }
    // Whether the list had the keyboard focus last (the frame returns it there).
    bool HadFocus() const { return had_focus_; }

    // Whether a document line is selected (shown or not).
    bool IsLineSelected(LineNo line) const { return lines_.IsSelected(line); }
    // The rows a document line takes at the current width, 0 for a line
    // beyond the document.
    RowNo LineRowCount(LineNo line) const;

    // The text and the character range of the line that a shown row shows.
    std::u16string_view RowDisplayText(const TextRow& row, int64_t& start, int64_t& end) const;

    // The reading tools.
    // The request of the filter shown.
    const FilterRequest& Filter() const { return filter_; }
    // The place among Lines()' shown lines of the caret line, or -1.
    ShownNo CaretShown() const;
    // The caret line, shown or hidden by the filter since it was set; -1
    // for none or while a pass's rows arrive.
    LineNo CaretLine() const { return lines_.ChunksEnd() >= 0 ? -1 : caret_line_; }
    // Makes a shown line the caret line, selected alone, and scrolls it into
    // view: to the middle with middle. A hidden line changes nothing.
    void GoToLine(LineNo line, bool middle);
    // Shows the last complete pass's lines in mode with context lines
    // around matches, without a new pass; the caret line stays at its
    // height on screen. False (nothing changed) while a pass runs.
    bool ReshowFilter(FilterMode mode, size_t context);
    // The highlighters painted under the query's highlight.
    void SetHighlighters(const std::vector<HighlightRule>& rules);
    // The highlighters compiled; Invalid() says which rules were left out.
    const LineHighlighter& Highlighters() const { return highlighter_; }
    // The gutter with each row's line number.
    void SetLineNumbers(bool on);

  signals:
    // The user asked for the context menu at a point of the screen; the
    // window around the list offers its commands there.
    void contextMenuRequested(QPoint globalPos);
    // A message for the status bar, shown for ms milliseconds.
    void statusMessage(const QString& text, int ms);
    // A long step starts (text says which, to be shown at once) or ends
    // (text is empty: the earlier message comes back).
    void busy(const QString& text);
    // A double-click with Ctrl: show the caret line in the full file.
    void fullFileRequested();

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
    struct CopyJob;
    struct LineJob;

    // What row (below ShownRowCount()) shows.
    TextRow RowAt(RowNo row) const;
    // The text of a document line; valid until the text of another line is asked for.
    std::u16string_view LineText(LineNo line) const;
    void DropRows();
    // Takes a filter pass's complete result and shows it from the top.
    void ApplyFilterResult(FilterResult result);
    // Takes the pending request and shows none of its rows yet.
    void StartPartialRows();
    // The shown lines changed: the selected count and the widths are redone.
    void ShownLinesChanged();
    void UpdateScrollRanges(bool resetPosition);
    int VerticalPage() const;
    double WrapWidth() const;
    int DocumentWidth() const;

    // Word wrap: the layout is measured from its first shown line on, a step
    // of a few milliseconds at a time; the row at the top stays in place.
    // report: the status bar says so from the start, not only when the
    // layout takes more than a step (the user asked for it).
    void RestartLayout(bool report = false);
    void LayoutStep();
    // Measures shown lines until budgetMs pass; false when a read failed.
    bool MeasureLines(int budgetMs);
    // Measures a long line on in pieces until it is measured (its rows are
    // then added) or clock passes budgetMs; false when its read failed.
    bool MeasureLongLine(LineNo line, const QElapsedTimer& clock, int budgetMs);
    // How much of the layout is measured, in percent.
    int LayoutPercent() const;
    // Whether a line is long enough to be decoded into a buffer of its own
    // and wrapped in pieces.
    bool IsLongLine(LineNo line) const;
    // Whether a line is prepared on a thread of its own (see
    // SetBackgroundLineBytesForTesting).
    bool IsBackgroundLine(LineNo line) const;
    // Whether the row of a background line must wait for its text (or, with
    // highlights, also for its matches): starts preparing it then.
    bool LinePending(LineNo line, bool highlights);
    void StartLineJob(LineNo line, bool spans, bool runs);
    // The line job's results join the list (the thread is waited for).
    void FinishLineJob(uint64_t serial);
    // Waits for the line job and forgets its results.
    void DropLineJob();
    void ScheduleLayout();
    // Whether any of the last row is on the screen (a horizontal scroll bar
    // may cover part of it), or there is no row.
    bool ShowsLastRow() const;
    // After a layout step: a list that AppendLines left at its last row, not
    // scrolled since, stays there while the new lines are measured.
    void KeepLastRowShown();
    void Reformat();

    void EnsureHorizontalExtent();
    int32_t MeasureRowWidth(const TextRow& row);
    QPoint ToDocument(QPoint viewportPoint) const;
    // Selects the lines with a row in [a, b] and deselects the other shown lines.
    void SelectRange(RowNo a, RowNo b);
    void ClearShownSelection();
    void SelectionChanged() const { selected_count_ = -1; }
    void OpenLineViewer(RowNo row);
    void HideLineViewers();
    void ScrollRows(int rows);
    // Copying in steps: true when the copy finished (or failed) in this step.
    bool CopyStep(int budgetMs);
    // Copies on a background line, alone, until clock passes budgetMs: true
    // once all of it is copied; false while it goes on, or when it failed
    // (the copy is then gone, and the status bar says why).
    bool CopyBackgroundLine(LineNo line, const QElapsedTimer& clock, int budgetMs);
    void FinishCopy(bool put);
    void CancelCopy();
    // The highlight ranges of a row's line under the current filter, or null
    // when it has none; cached per line until the filter or rows change.
    const std::vector<HighlightRange>* HighlightsFor(const TextRow& row);
    // What a row is painted from; runs receives its highlight runs.
    RowPaintInput RowPaintInputOf(RowNo row, const QRect& rowRect, std::vector<HighlightRun>& runs);
    // The highlighters' runs and the query's highlight of a row showing
    // line[start, end), in the row's offsets.
    void CollectRuns(const TextRow& row, int64_t start, int64_t end,
                     std::vector<HighlightRun>& runs);
    // The highlighters' runs of a line, cached like HighlightsFor.
    const std::vector<ColoredRange>& RuleRunsFor(LineNo line);
    // The first row of the shown line at place shown.
    RowNo FirstRowOf(ShownNo shown) const { return word_wrap_ ? layout_.FirstRow(shown) : shown; }
    // The first row of a line, or -1 when it is hidden.
    RowNo FirstRowOfLine(LineNo line) const;
    // Keyboard selection: Up, Down, Page Up, Page Down, Home and End move the
    // caret line (with Shift, the selection runs from the anchor to it);
    // Space and Ctrl+Space select or deselect the caret line. False for
    // other keys.
    bool HandleCaretKey(const QKeyEvent& event);
    // The selection as a left press on a shown row with these keys sets it.
    void PressRow(RowNo hit, bool ctrl, bool shift);
    void EnsureRowVisible(RowNo row);
    // Scrolls to pixel y; while word wrap is measured, the line then at the
    // top stays there.
    void ScrollToY(int64_t y);
    // While a drag is held above or below the rows, scrolls toward it and
    // extends the selection.
    void DragScrollStep();
    void SelectDragRange();
    void LayOutGutter();
    void PaintLoadPreview(QPainter& painter, const RowColors& colors);

    TextDocument& document_;
    FilterRequest filter_;
    // A pass begun with BeginFilter, until its first chunk.
    std::optional<FilterRequest> pending_filter_;
    // The shown, matched and selected lines.
    FilteredLines lines_;
    // The rows of the shown lines with word wrap on, measured at layout_width_.
    RowLayout layout_;
    double layout_width_ = 0;
    bool layout_failed_ = false;  // a read failed: the rest stays one row per line
    bool layout_busy_ = false;    // the status bar shows the layout's progress
    ShownNo layout_anchor_ = -1;  // the shown line kept at the top while measuring
    int layout_anchor_scroll_ = -1;
    int last_row_scroll_ = -1;  // the position AppendLines kept at the last row, or -1
    QTimer* layout_timer_;
    int step_ms_ = kDefaultStepMs;
    LineNo step_lines_ = 0;
    std::function<std::optional<uint64_t>()> memory_room_;
    std::unique_ptr<CopyJob> copy_;
    QTimer* copy_timer_;
    mutable std::u16string line_buffer_;
    mutable LineNo buffered_line_ = -1;   // the line whose text is in line_buffer_
    mutable std::u16string long_buffer_;  // a long line's text, apart from the short ones
    mutable LineNo long_buffered_line_ = -1;
    // A background line's text (see IsBackgroundLine); it changes only
    // while no line job runs.
    mutable std::u16string prepared_text_;
    mutable LineNo prepared_line_ = -1;
    std::unique_ptr<LineJob> line_job_;
    uint64_t line_job_serial_ = 0;
    uint64_t background_line_bytes_ = kBackgroundLineBytes;
    int background_decodes_ = 0;
    // Counted up when the query's or the highlighters' runs are forgotten:
    // a line job's runs from before are then left out.
    uint64_t highlight_generation_ = 0;
    uint64_t rule_generation_ = 0;
    bool layout_waits_ = false;  // the layout waits for a background line's text
    // Where long lines' rows begin at layout_width_ (painting is const).
    std::unique_ptr<LongLineWraps> long_wraps_;
    mutable ShownNo selected_count_ = -1;  // cached; -1 when unknown
    LineNo caret_line_ = -1;
    LineNo anchor_line_ = -1;  // the line Shift+click extends from
    bool word_wrap_ = false;
    QPoint press_point_;
    QPoint press_document_;  // the press in document coordinates: the list may scroll
    QPoint current_point_;
    bool dragging_ = false;
    bool had_focus_ = false;
    int wheel_accumulator_ = 0;
    int wheel_sideways_accumulator_ = 0;
    int content_width_ = 1;
    uint32_t highlight_color_ = 0xFEE300;
    QSize last_size_;
    std::unique_ptr<CompiledQuery> highlight_query_;  // built from filter_ when first needed
    LineGeometryCache geometry_;
    std::unordered_map<LineNo, std::vector<HighlightRange>> highlights_;
    size_t highlights_size_ = 0;
    LineViewer* single_viewer_;
    LineViewer* multi_viewer_;
    LineHighlighter highlighter_;
    std::unordered_map<LineNo, std::vector<ColoredRange>> rule_runs_;
    size_t rule_runs_size_ = 0;
    LineNumberGutter* gutter_;
    bool line_numbers_ = false;
    QTimer* drag_scroll_;
    const TextDocument* preview_ = nullptr;  // the document being loaded, or null
    RowNo preview_rows_ = 0;
    std::u16string preview_buffer_;
};

}  // namespace linesift
