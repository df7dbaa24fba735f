#include "views/line_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "document/clipboard_text.h"
#include "filter/line_navigation.h"
#include "qt_text.h"
#include "views/char_advances.h"
#include "views/line_number_gutter.h"
#include "views/line_viewer.h"
#include "views/list_font.h"
#include "views/palette_colors.h"
#include "views/row_painter.h"
#include "views/word_wrap.h"

namespace linesift {

LineListView::LineListView(TextDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent),
      document_(document),
      single_viewer_(new LineViewer(false, viewport())),
      multi_viewer_(new LineViewer(true, viewport())),
      gutter_(new LineNumberGutter(
          [this](int64_t row) -> int64_t {
              const TextRow* r = ShownRow(row);
              return r != nullptr && r->subRow == 0 ? static_cast<int64_t>(r->line) : -1;
          },
          kRowHeight, this)),
      drag_scroll_(new QTimer(this)) {
    setObjectName(QStringLiteral("LineListView"));
    setFocusPolicy(Qt::StrongFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameStyle(QFrame::NoFrame);
    viewport()->setAutoFillBackground(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(kRowHeight);
    horizontalScrollBar()->setSingleStep(kHorizontalStep);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) {
        // Dragging the box snaps to whole rows, except at the very end.
        QScrollBar* bar = verticalScrollBar();
        if (action == QAbstractSlider::SliderMove && bar->sliderPosition() != bar->maximum()) {
            bar->setSliderPosition(bar->sliderPosition() / kRowHeight * kRowHeight);
        }
    });
    gutter_->hide();
    connect(gutter_, &LineNumberGutter::rowPressed, this,
            [this](int64_t row, Qt::KeyboardModifiers modifiers) {
                setFocus(Qt::MouseFocusReason);
                if (row >= 0 && row < ShownRowCount()) {
                    PressRow(row, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier);
                }
            });
    drag_scroll_->setInterval(50);
    connect(drag_scroll_, &QTimer::timeout, this, &LineListView::DragScrollStep);
    UpdateScrollRanges(true);
}

LineListView::~LineListView() = default;

// Rows

void LineListView::DropRows() {
    HideLineViewers();
    partial_ = false;
    rows_.clear();
    rows_.shrink_to_fit();
    shown_.clear();
    shown_.shrink_to_fit();
    filtered_ = false;
    shown_lines_ = 0;
    caret_line_ = -1;
    anchor_index_ = -1;
    content_width_ = 1;
    geometry_.Clear();
    lines_.Reset(document_.LineCount());
    buffered_line_ = -1;
    highlights_.clear();
    highlights_size_ = 0;
    rule_runs_.clear();
    rule_runs_size_ = 0;
    SelectionChanged();
}

void LineListView::Rebuild(bool redraw, bool resetScroll) {
    DropRows();
    if (!document_.IsEmpty()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        BuildRows();
        QApplication::restoreOverrideCursor();
    }
    CountShownLines();
    LayOutGutter();
    UpdateScrollRanges(resetScroll);
    if (redraw) {
        viewport()->update();
    }
}

void LineListView::BuildRows() {
    const size_t lines = document_.LineCount();
    if (!word_wrap_) {
        rows_.resize(lines);
        for (size_t i = 0; i < lines; ++i) {
            rows_[i] = TextRow{static_cast<uint32_t>(i), 0, -1, 0, 1};
        }
        return;
    }
    double width = WrapWidth();
    CharAdvances& advances = ListFontAdvances();
    rows_.reserve(lines * 2);
    for (size_t i = 0; i < lines; ++i) {
        std::u16string_view text = LineText(static_cast<uint32_t>(i));
        uint32_t count = text.size() >= 2 ? CountWrappedRows(text, width, advances) : 1;
        for (uint32_t sub = 0; sub < count; ++sub) {
            rows_.push_back(TextRow{static_cast<uint32_t>(i), sub, -1, 0, count});
        }
    }
}

void LineListView::Clear(bool redraw) {
    DropRows();
    UpdateScrollRanges(true);
    if (redraw) {
        viewport()->update();
    }
}

void LineListView::SetFilter(const FilterRequest& request) {
    pending_filter_.reset();
    partial_ = false;
    filter_ = request;
    highlight_query_.reset();
    highlights_.clear();
    highlights_size_ = 0;
    if (!request.text.empty() && (!ValidateFilterRequest(request) || rows_.empty())) {
        return;
    }
    FilterResult result;
    if (!request.text.empty()) {
        FilterStatus status = RunFilterPass(request, document_, result);
        if (status != FilterStatus::Done) {
            if (status == FilterStatus::FileChanged) {
                emit statusMessage(
                    QStringLiteral("The file changed on disk: reload it to filter it"), 5000);
            }
            return;
        }
    }
    ApplyFilterResult(std::move(result));
}

void LineListView::ApplyFilterResult(FilterResult result) {
    if (!filter_.text.empty()) {
        if (result.matched.size() != document_.LineCount()) {
            return;
        }
        for (TextRow& row : rows_) {
            row.matched = result.matched.Test(row.line);
        }
        if (result.gave_up) {
            emit statusMessage(
                QStringLiteral(
                    "The regular expression backtracks too much: no line counts as matching"),
                5000);
        }
        lines_.Apply(std::move(result));
    } else {
        // No query: every line shown, none matched.
        FilterResult all;
        all.matched.Reset(document_.LineCount());
        all.shown.ShowAll(document_.LineCount());
        lines_.Apply(std::move(all));
    }
    ResetShownRows();
    if (!filter_.text.empty()) {
        BuildShownRows(true);
    }
    CountShownLines();
    UpdateScrollRanges(true);
    viewport()->update();
}

void LineListView::ResetShownRows() {
    shown_.clear();
    filtered_ = false;
    shown_lines_ = 0;
    SelectionChanged();
    content_width_ = 1;
}

void LineListView::BeginFilter(const FilterRequest& request) {
    pending_filter_ = request;
    partial_ = false;
}

void LineListView::StartPartialRows() {
    filter_ = *pending_filter_;
    pending_filter_.reset();
    highlight_query_.reset();
    highlights_.clear();
    highlights_size_ = 0;
    partial_ = true;
    partial_line_ = 0;
    partial_row_ = 0;
    ResetShownRows();
    filtered_ = filter_.filter_mode != FilterMode::ShowAll;
    shown_lines_ = filtered_ ? 0 : static_cast<int64_t>(document_.LineCount());
    // Counted as the chunks add rows, so that no chunk recounts them all.
    selected_count_ = filtered_ ? 0 : -1;
}

void LineListView::ApplyFilterChunk(size_t begin, size_t end, const std::vector<uint64_t>& words) {
    const bool first = pending_filter_.has_value();
    if (first) {
        StartPartialRows();
    }
    if (!partial_ || begin != partial_line_ || end > document_.LineCount()) {
        partial_ = false;
        return;
    }
    const bool wantMatched = filter_.filter_mode == FilterMode::HideUnmatched;
    for (; partial_row_ < rows_.size() && rows_[partial_row_].line < end; ++partial_row_) {
        TextRow& row = rows_[partial_row_];
        const size_t bit = row.line - begin;
        const bool matched = (words[bit >> 6] >> (bit & 63)) & 1;
        row.matched = matched;
        if (filtered_ && matched == wantMatched) {
            shown_.push_back(static_cast<uint32_t>(partial_row_));
            shown_lines_ += row.subRow == 0;
            if (selected_count_ >= 0) {
                selected_count_ += row.subRow == 0 && IsSelected(row);
            }
        }
    }
    partial_line_ = end;
    UpdateScrollRanges(first);
    viewport()->update();
}

void LineListView::CancelFilter() {
    if (pending_filter_) {
        StartPartialRows();
        UpdateScrollRanges(true);
        viewport()->update();
    }
}

void LineListView::FinishFilter(const FilterResult& result) {
    if (pending_filter_) {
        StartPartialRows();
        partial_ = false;
    }
    // The chunks showed matching lines only: context lines need the rows again.
    const bool complete = partial_ && partial_line_ == document_.LineCount() &&
                          partial_row_ == rows_.size() && !result.gave_up && !result.has_context;
    partial_ = false;
    if (!complete) {
        ApplyFilterResult(result);
        return;
    }
    lines_.Apply(result);
    CountShownLines();
    UpdateScrollRanges(false);
    viewport()->update();
}

void LineListView::BuildShownRows(bool applyModes) {
    if (!applyModes || filter_.filter_mode == FilterMode::ShowAll) {
        return;
    }
    filtered_ = true;
    const ShownLines& shown = lines_.Shown();
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (shown.Contains(rows_[i].line)) {
            shown_.push_back(static_cast<uint32_t>(i));
        }
    }
    shown_.shrink_to_fit();
}

void LineListView::CountShownLines() {
    if (!word_wrap_) {
        shown_lines_ = ShownRowCount();
        return;
    }
    int64_t count = 0;
    for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
        count += ShownRowRef(i).subRow == 0;
    }
    shown_lines_ = count;
}

void LineListView::SetWordWrap(bool on, bool rebuild, bool redraw) {
    word_wrap_ = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    if (rebuild) {
        Rebuild(redraw, false);
    }
}

double LineListView::WrapWidth() const {
    return std::max(viewport()->width() - kWrapInset, 1) - 8.0;
}

std::u16string LineListView::RowLineText(int64_t shownIndex) const {
    const TextRow* row = ShownRow(shownIndex);
    return row != nullptr ? std::u16string(LineText(row->line)) : std::u16string();
}

const TextRow* LineListView::ShownRow(int64_t shownIndex) const {
    if (shownIndex < 0 || shownIndex >= ShownRowCount()) {
        return nullptr;
    }
    return &ShownRowRef(shownIndex);
}

std::u16string_view LineListView::RowDisplayText(const TextRow& row, int64_t& start,
                                                 int64_t& end) const {
    std::u16string_view text = LineText(row.line);
    start = 0;
    end = static_cast<int64_t>(text.size());
    if (!word_wrap_ || row.rowCount <= 1) {
        return text;
    }
    static thread_local std::vector<uint32_t> starts;
    WrapLine(text, WrapWidth(), ListFontAdvances(), starts);
    if (row.subRow >= starts.size()) {
        start = end = 0;
        return {};
    }
    start = starts[row.subRow];
    end = row.subRow + 1 < starts.size() ? starts[row.subRow + 1] : end;
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

std::u16string_view LineListView::LineText(uint32_t line) const {
    if (buffered_line_ == static_cast<int64_t>(line)) {
        return line_buffer_;
    }
    std::u16string_view text = document_.LineText(line, line_buffer_);
    if (text.data() != line_buffer_.data()) {
        line_buffer_.assign(text);  // text the document holds itself
    } else {
        line_buffer_.resize(text.size());
    }
    buffered_line_ = line;
    return line_buffer_;
}

int64_t LineListView::LineRowCount(size_t line) const {
    auto it = std::lower_bound(rows_.begin(), rows_.end(), line,
                               [](const TextRow& row, size_t l) { return row.line < l; });
    return it != rows_.end() && it->line == line ? it->rowCount : 0;
}

// Scrolling

int LineListView::VerticalPage() const {
    int rows = viewport()->height() / kRowHeight;
    return rows >= 1 ? std::max((rows - 1) * kRowHeight, kRowHeight)
                     : std::max(viewport()->height(), 1);
}

void LineListView::UpdateScrollRanges(bool resetPosition) {
    int64_t height = ShownRowCount() * kRowHeight;
    int maxV = static_cast<int>(
        std::min<int64_t>(std::max<int64_t>(height - viewport()->height(), 0), INT32_MAX));
    verticalScrollBar()->setRange(0, maxV);
    verticalScrollBar()->setPageStep(VerticalPage());
    int docWidth = word_wrap_ ? viewport()->width() : std::max(content_width_, viewport()->width());
    horizontalScrollBar()->setRange(0, std::max(docWidth - viewport()->width(), 0));
    horizontalScrollBar()->setPageStep(
        std::max(viewport()->width() - kHorizontalStep, kHorizontalStep));
    if (resetPosition) {
        verticalScrollBar()->setValue(0);
        horizontalScrollBar()->setValue(0);
    }
}

void LineListView::scrollContentsBy(int, int) {
    gutter_->SetTop(verticalScrollBar()->value());
    viewport()->update();
}

void LineListView::ScrollRows(int rows) {
    verticalScrollBar()->setValue(verticalScrollBar()->value() + rows * kRowHeight);
}

void LineListView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    QSize size = viewport()->size();
    if (size == last_size_) {
        return;
    }
    if (word_wrap_ && !rows_.empty() && size.width() != last_size_.width() && !reformat_pending_) {
        reformat_pending_ = true;
        QMetaObject::invokeMethod(this, &LineListView::Reformat, Qt::QueuedConnection);
    }
    last_size_ = size;
    LayOutGutter();
    UpdateScrollRanges(false);
}

void LineListView::Reformat() {
    if (!reformat_pending_) {
        return;
    }
    reformat_pending_ = false;
    emit busy(QStringLiteral("Reformatting..."));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Each line keeps its matched mark and, under a filter, its place in it.
    bool wasFiltered = IsFiltered();
    std::vector<uint8_t> matched(document_.LineCount(), 0);
    std::vector<uint8_t> shownLines(wasFiltered ? document_.LineCount() : 0, 0);
    for (const TextRow& row : rows_) {
        matched[row.line] = row.matched != 0;
    }
    for (uint32_t i : shown_) {
        shownLines[rows_[i].line] = 1;
    }
    FilterRequest filter = filter_;
    int scroll = verticalScrollBar()->value();
    int64_t caret = caret_line_;
    Rebuild(false, false);
    caret_line_ = caret;
    filter_ = filter;
    for (size_t i = 0; i < rows_.size(); ++i) {
        rows_[i].matched = matched[rows_[i].line];
        if (wasFiltered && shownLines[rows_[i].line]) {
            shown_.push_back(static_cast<uint32_t>(i));
        }
    }
    filtered_ = wasFiltered;
    CountShownLines();
    UpdateScrollRanges(false);
    verticalScrollBar()->setValue(scroll);
    viewport()->update();
    QApplication::restoreOverrideCursor();
    emit busy(QString());
}

void LineListView::keyPressEvent(QKeyEvent* event) {
    if (HandleCaretKey(*event)) {
        event->accept();
        return;
    }
    QScrollBar* h = horizontalScrollBar();
    switch (event->key()) {
        case Qt::Key_Right:
            h->setValue(h->value() + kHorizontalStep);
            break;
        case Qt::Key_Left:
            h->setValue(h->value() - kHorizontalStep);
            break;
        case Qt::Key_Delete:
            break;
        default:
            event->ignore();
            return;
    }
    event->accept();
}

void LineListView::wheelEvent(QWheelEvent* event) {
    HideLineViewers();
    // A sideways wheel or swipe, or Shift with the wheel, scrolls sideways.
    const QPoint angle = event->angleDelta();
    const bool shift = (event->modifiers() & Qt::ShiftModifier) != 0;
    const bool sideways = shift || std::abs(angle.x()) > std::abs(angle.y());
    const int delta = sideways ? (angle.x() != 0 ? angle.x() : angle.y()) : angle.y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    int& accumulator = sideways ? wheel_sideways_accumulator_ : wheel_accumulator_;
    accumulator += delta;
    const int steps = std::abs(accumulator) / 120;
    const int direction = accumulator > 0 ? -1 : 1;
    accumulator %= 120;
    const bool taller = ShownRowCount() * kRowHeight > viewport()->height();
    if (!sideways && taller) {
        ScrollRows(direction * steps * QApplication::wheelScrollLines());
    } else {
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() +
                                        direction * steps * kHorizontalStep);
    }
    event->accept();
}

// Painting

bool LineListView::viewportEvent(QEvent* event) {
    if (event->type() == QEvent::Paint) {
        EnsureHorizontalExtent();
        if (line_numbers_) {
            gutter_->update();  // its numbers follow the rows
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void LineListView::EnsureHorizontalExtent() {
    if (word_wrap_ || ShownRowCount() == 0) {
        return;
    }
    int top = verticalScrollBar()->value();
    int widest = 0;
    for (int64_t i = top / kRowHeight;
         i < ShownRowCount() && i * kRowHeight < top + viewport()->height(); ++i) {
        widest = std::max(widest, MeasureRowWidth(ShownRowRef(i)));
    }
    if (widest > std::max(content_width_, viewport()->width())) {
        content_width_ = widest;
        UpdateScrollRanges(false);
    }
}

int32_t LineListView::MeasureRowWidth(TextRow& row) {
    if (row.width >= 0) {
        return row.width;
    }
    int64_t start = 0;
    int64_t end = 0;
    std::u16string_view text = RowDisplayText(row, start, end);
    double w = word_wrap_ ? ListFontAdvances().Width(text)
                          : geometry_.Width(row.line, text, ListFontAdvances());
    int32_t width = static_cast<int32_t>(std::min(w + 10 + 8, 2.0e9));
    // A long line's width is partly estimated until painting has measured
    // it, so it is asked again rather than kept.
    if (word_wrap_ || text.size() < LineGeometryCache::kMinLength) {
        row.width = width;
    }
    return width;
}

void LineListView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const RowColors colors = RowColorsOf(viewport()->palette());
    painter.fillRect(event->rect(), colors.background);
    painter.setFont(ListFont());
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int docWidth =
        word_wrap_ ? viewport()->width() : std::max(content_width_, viewport()->width());
    painter.translate(-scroll);
    const QRect view = event->rect().translated(scroll);
    std::vector<HighlightRun> runs;
    for (int64_t i = view.top() / kRowHeight;
         i < ShownRowCount() && i * kRowHeight <= view.bottom(); ++i) {
        const QRect rowRect(0, static_cast<int>(i * kRowHeight), docWidth, kRowHeight);
        if (rowRect.intersects(view)) {
            RowPaintInput input = RowPaintInputOf(i, rowRect, runs);
            input.colors = &colors;
            PaintRow(painter, input);
        }
    }
    if (dragging_ && press_point_ != current_point_) {
        PaintMarquee(painter, QRect(press_document_, ToDocument(current_point_)).normalized());
    }
}

RowPaintInput LineListView::RowPaintInputOf(int64_t shownIndex, const QRect& rowRect,
                                            std::vector<HighlightRun>& runs) {
    const TextRow& row = ShownRowRef(shownIndex);
    int64_t start = 0;
    int64_t end = 0;
    const std::u16string_view text = RowDisplayText(row, start, end);
    const int scrollX = horizontalScrollBar()->value();
    CharAdvances& advances = ListFontAdvances();
    RowPaintInput input{
        .text = text,
        .rect = rowRect,
        .visible_left = static_cast<double>(scrollX),
        .visible_width = static_cast<double>(viewport()->width()),
        .selected = IsSelected(row),
        .dimmed = !partial_ && lines_.IsContext(row.line),
        .group_start = !partial_ && lines_.HasContext() && row.subRow == 0 && shownIndex > 0 &&
                       ShownRowRef(shownIndex - 1).line + 1 != row.line,
        .caret_frame = hasFocus() && caret_line_ == static_cast<int64_t>(row.line),
        .sub_row = word_wrap_ ? static_cast<int>(row.subRow) : 0,
        .row_count = word_wrap_ ? static_cast<int>(row.rowCount) : 1,
        .advances = &advances,
    };
    if (!word_wrap_ && !text.empty()) {
        auto [offset, x] =
            geometry_.Seek(row.line, text, scrollX - (rowRect.left() + kRowTextInset), advances);
        input.anchor = {offset, x};
    }
    runs.clear();
    if (!text.empty()) {
        CollectRuns(row, start, end, runs);
    }
    input.runs = runs;
    return input;
}

void LineListView::CollectRuns(const TextRow& row, int64_t start, int64_t end,
                               std::vector<HighlightRun>& runs) {
    // Both kinds of runs clipped to the row's piece of its line.
    auto inside = [start, end](int64_t b, int64_t e) {
        return std::max(b, start) < std::min(e, end);
    };
    std::vector<ColoredRange> colored;
    if (!highlighter_.empty()) {
        for (const ColoredRange& r : RuleRunsFor(row.line)) {
            if (inside(r.start, r.end)) {
                colored.push_back(r);
            }
        }
    }
    std::vector<HighlightRange> query;
    if (const std::vector<HighlightRange>* ranges = HighlightsFor(row)) {
        for (const HighlightRange& r : *ranges) {
            if (inside(r.start, r.end)) {
                query.push_back(r);
            }
        }
    }
    OverlayQueryHighlight(colored, std::move(query), highlight_color_);
    auto color = [](const std::optional<MarkupColor>& c) {
        return c ? QColor::fromRgb(*c) : QColor();
    };
    for (const ColoredRange& r : colored) {
        if (inside(r.start, r.end)) {
            runs.push_back({std::max(r.start, start) - start, std::min(r.end, end) - start,
                            color(r.background), color(r.foreground)});
        }
    }
}

const std::vector<ColoredRange>& LineListView::RuleRunsFor(uint32_t line) {
    auto it = rule_runs_.find(line);
    if (it == rule_runs_.end()) {
        if (rule_runs_size_ > (size_t{4} << 20)) {
            rule_runs_.clear();
            rule_runs_size_ = 0;
        }
        std::vector<ColoredRange> runs;
        highlighter_.RunsOf(LineText(line), runs);
        rule_runs_size_ += runs.size() + 1;
        it = rule_runs_.emplace(line, std::move(runs)).first;
    }
    return it->second;
}

QPoint LineListView::ToDocument(QPoint viewportPoint) const {
    return viewportPoint + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

int64_t LineListView::RowFromPoint(QPoint p) const {
    int docWidth = word_wrap_ ? viewport()->width() : std::max(content_width_, viewport()->width());
    int64_t height = ShownRowCount() * kRowHeight;
    if (p.x() < 0 || p.x() > docWidth || p.y() < 0 || p.y() >= height) {
        return -1;
    }
    return p.y() / kRowHeight;
}

const std::vector<HighlightRange>* LineListView::HighlightsFor(const TextRow& row) {
    if (row.matched == 0 || filter_.text.empty()) {
        return nullptr;
    }
    auto it = highlights_.find(row.line);
    if (it == highlights_.end()) {
        if (highlights_size_ > (size_t{4} << 20)) {
            highlights_.clear();
            highlights_size_ = 0;
        }
        if (!highlight_query_) {
            highlight_query_ = std::make_unique<CompiledQuery>(
                filter_.text, QueryOptions{.match_case = filter_.match_case,
                                           .whole_word = filter_.whole_word,
                                           .query_mode = filter_.query_mode});
        }
        std::vector<MatchSpan> spans;
        std::vector<HighlightRange> ranges;
        if (highlight_query_->FindSpans(LineText(row.line), spans)) {
            ranges.reserve(spans.size());
            for (const MatchSpan& span : spans) {
                ranges.push_back({span.start, span.end});
            }
        }
        highlights_size_ += ranges.size() + 1;
        it = highlights_.emplace(row.line, std::move(ranges)).first;
    }
    return it->second.empty() ? nullptr : &it->second;
}

// Selection

int64_t LineListView::SelectedLineCount() const {
    if (selected_count_ < 0) {
        int64_t count = 0;
        for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
            const TextRow& row = ShownRowRef(i);
            count += row.subRow == 0 && IsSelected(row);
        }
        selected_count_ = count;
    }
    return selected_count_;
}

void LineListView::SelectAll() {
    bool changed = false;
    for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
        const TextRow& row = ShownRowRef(i);
        changed |= !IsSelected(row);
        SetSelected(row, true);
    }
    if (changed) {
        SelectionChanged();
        viewport()->update();
    }
}

void LineListView::SelectInverse() {
    for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
        const TextRow& row = ShownRowRef(i);
        if (row.subRow == 0) {
            SetSelected(row, !IsSelected(row));
        }
    }
    SelectionChanged();
    if (ShownRowCount() > 0) {
        viewport()->update();
    }
}

void LineListView::ClearShownSelection() {
    for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
        SetSelected(ShownRowRef(i), false);
    }
    SelectionChanged();
}

void LineListView::Deselect() {
    if (HasSelection()) {
        ClearShownSelection();
        viewport()->update();
    }
}

int64_t LineListView::CopySelection() {
    if (!HasSelection()) {
        return 0;
    }
    std::u16string text;
    int64_t count = 0;
    for (int64_t i = 0, n = ShownRowCount(); i < n; ++i) {
        const TextRow& row = ShownRowRef(i);
        if (row.subRow != 0 || !IsSelected(row)) {
            continue;
        }
        std::u16string_view line = LineText(row.line);
        if (document_.FileChanged()) {
            emit statusMessage(QStringLiteral("The file changed on disk: nothing was copied"),
                               5000);
            return 0;
        }
        if (!text.empty()) {
            text.push_back(u'\n');
        }
        text.append(line);
        ++count;
    }
    return ClipboardText::Instance().SetText(text) ? count : 0;
}

void LineListView::SelectRange(int64_t a, int64_t b) {
    int64_t n = ShownRowCount();
    if (a < 0 || b < 0 || a >= n || b >= n) {
        return;
    }
    int64_t lo = std::min(a, b);
    int64_t hi = std::max(a, b);
    for (int64_t i = 0; i < n; ++i) {
        const TextRow& row = ShownRowRef(i);
        if (i >= lo && i <= hi) {
            SetSelected(row, true);
        } else if (row.subRow == 0) {
            SetSelected(row, false);
        }
    }
    SelectionChanged();
    viewport()->update();
}

void LineListView::DragSelectRange(int64_t a, int64_t b) {
    int64_t n = ShownRowCount();
    if (a < 0 || b < 0 || a >= n || b >= n) {
        return;
    }
    int64_t lo = std::min(a, b);
    int64_t hi = std::max(a, b);
    if (drag_lo_ < 0 || drag_hi_ >= n) {
        // The selection before the drag is not known to be a range.
        SelectRange(lo, hi);
    } else {
        // Lines with a row in [lo, hi] are selected, all other shown lines are
        // not; rows outside both ranges already have their final state.
        uint32_t lineLo = ShownRowRef(lo).line;
        uint32_t lineHi = ShownRowRef(hi).line;
        auto clear = [&](int64_t from, int64_t to) {
            for (int64_t i = from; i <= to; ++i) {
                uint32_t line = ShownRowRef(i).line;
                if (line < lineLo || line > lineHi) {
                    lines_.SetSelected(line, false);
                }
            }
        };
        auto select = [&](int64_t from, int64_t to) {
            for (int64_t i = from; i <= to; ++i) {
                SetSelected(ShownRowRef(i), true);
            }
        };
        clear(drag_lo_, std::min(drag_hi_, lo - 1));
        clear(std::max(drag_lo_, hi + 1), drag_hi_);
        select(lo, std::min(hi, drag_lo_ - 1));
        select(std::max(lo, drag_hi_ + 1), hi);
        SelectionChanged();
        viewport()->update();
    }
    drag_lo_ = lo;
    drag_hi_ = hi;
}

int64_t LineListView::ShownIndexOfRow(int64_t rowIndex) const {
    if (rowIndex < 0) {
        return -1;
    }
    if (!filtered_) {
        return rowIndex < static_cast<int64_t>(rows_.size()) ? rowIndex : -1;
    }
    auto it = std::lower_bound(shown_.begin(), shown_.end(), static_cast<uint32_t>(rowIndex));
    return it != shown_.end() && *it == rowIndex ? it - shown_.begin() : -1;
}

void LineListView::mousePressEvent(QMouseEvent* event) {
    bool ctrl = event->modifiers() & Qt::ControlModifier;
    bool shift = event->modifiers() & Qt::ShiftModifier;
    QPoint p = event->position().toPoint();
    int64_t hit = RowFromPoint(ToDocument(p));
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::RightButton) {
        if (hit >= 0) {
            caret_line_ = ShownRowRef(hit).line;
            if (!ctrl && !shift && !IsSelected(ShownRowRef(hit))) {
                ClearShownSelection();
                SetSelected(ShownRowRef(hit), true);
            }
        } else if (ShownRowCount() > 0 && !ctrl && !shift) {
            ClearShownSelection();
        }
        SelectionChanged();
        viewport()->update();
        return;
    }
    if (event->button() != Qt::LeftButton) {
        return;
    }
    press_point_ = current_point_ = p;
    press_document_ = ToDocument(p);
    dragging_ = true;
    drag_lo_ = drag_hi_ = -1;
    if (hit >= 0) {
        PressRow(hit, ctrl, shift);
    } else if (ShownRowCount() > 0 && !ctrl && !shift) {
        ClearShownSelection();
        drag_lo_ = 0;  // an empty range: nothing is selected
        drag_hi_ = -1;
    }
    SelectionChanged();
    viewport()->update();
}

void LineListView::PressRow(int64_t hit, bool ctrl, bool shift) {
    const TextRow& row = ShownRowRef(hit);
    caret_line_ = row.line;
    if (ctrl) {
        SetSelected(row, !IsSelected(row));
    } else if (shift) {
        int64_t anchor = anchor_index_ < 0 ? 0 : ShownIndexOfRow(anchor_index_);
        SelectRange(anchor, hit);
    } else {
        anchor_index_ = filtered_ ? shown_[static_cast<size_t>(hit)] : hit;
        ClearShownSelection();
        SetSelected(row, true);
        // Exactly the lines of [hit, hit] are selected: a drag goes on from there.
        drag_lo_ = drag_hi_ = hit;
    }
    SelectionChanged();
    viewport()->update();
}

void LineListView::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    QPoint p = event->position().toPoint();
    if (std::abs(p.x() - press_point_.x()) < 2 && std::abs(p.y() - press_point_.y()) < 2) {
        return;
    }
    current_point_ = p;
    const bool outside = p.y() < 0 || p.y() >= viewport()->height();
    if (outside != drag_scroll_->isActive()) {
        outside ? drag_scroll_->start() : drag_scroll_->stop();
    }
    SelectDragRange();
    viewport()->repaint();
}

void LineListView::SelectDragRange() {
    QRect r = QRect(press_document_, ToDocument(current_point_)).normalized();
    int64_t start = r.top() < 0 ? 0 : RowFromPoint(r.topLeft());
    if (start >= 0 && ShownRowCount() > 0) {
        int64_t end = RowFromPoint(r.bottomRight());
        DragSelectRange(start, end >= 0 ? end : ShownRowCount() - 1);
    }
}

void LineListView::DragScrollStep() {
    if (!dragging_) {
        drag_scroll_->stop();
        return;
    }
    // Farther from the edge, faster: a row per step, one more per row's height away.
    const int y = current_point_.y();
    const int away = y < 0 ? y : y - viewport()->height() + 1;
    ScrollRows((away < 0 ? -1 : 1) * (1 + std::abs(away) / kRowHeight));
    SelectDragRange();
    viewport()->repaint();
}

void LineListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
        drag_scroll_->stop();
        dragging_ = false;
        press_point_ = current_point_ = QPoint();
        viewport()->update();
    }
}

void LineListView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    int64_t hit = RowFromPoint(ToDocument(event->position().toPoint()));
    if (hit >= 0 && (event->modifiers() & Qt::ControlModifier)) {
        caret_line_ = ShownRowRef(hit).line;
        emit fullFileRequested();
    } else if (hit >= 0) {
        OpenLineViewer(hit);
    }
}

void LineListView::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
}

void LineListView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    if (caret_line_ < 0 && ShownRowCount() > 0) {
        caret_line_ = ShownRowRef(0).line;
    }
    had_focus_ = true;
    viewport()->update();
}

void LineListView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    QWidget* next = QApplication::focusWidget();
    if (next != nullptr && next != this && next->window() == window() && !isAncestorOf(next)) {
        had_focus_ = false;
    }
    viewport()->update();
}

// Line viewer

void LineListView::OpenLineViewer(int64_t shownIndex) {
    const TextRow& row = ShownRowRef(shownIndex);
    LineViewer* viewer = word_wrap_ && row.rowCount > 1 ? multi_viewer_ : single_viewer_;
    int top = static_cast<int>(shownIndex * kRowHeight - verticalScrollBar()->value()) -
              static_cast<int>(row.subRow) * kRowHeight;
    int height = static_cast<int>(row.rowCount) * kRowHeight;
    if (!word_wrap_) {
        height = kRowHeight;
    }
    QRect rect(6 - horizontalScrollBar()->value(), top, 1 << 20, height);
    rect = rect.intersected(QRect(0, top, viewport()->width(), height));
    if (rect.isEmpty()) {
        return;
    }
    viewer->Open(ToQString(LineText(row.line)), rect);
}

void LineListView::HideLineViewers() {
    single_viewer_->hide();
    multi_viewer_->hide();
}

}  // namespace linesift

namespace linesift {

// Reading tools

int64_t LineListView::ShownIndexOfLine(size_t line) const {
    auto it = std::lower_bound(rows_.begin(), rows_.end(), line,
                               [](const TextRow& row, size_t l) { return row.line < l; });
    if (it == rows_.end() || it->line != line) {
        return -1;
    }
    return ShownIndexOfRow(it - rows_.begin());
}

int64_t LineListView::CaretShownRow() const {
    return caret_line_ < 0 || partial_ ? -1 : lines_.RowOfLine(static_cast<size_t>(caret_line_));
}

void LineListView::EnsureRowVisible(int64_t shownIndex) {
    const TextRow& row = ShownRowRef(shownIndex);
    const int64_t top = (shownIndex - row.subRow) * kRowHeight;
    const int64_t bottom = top + int64_t{row.rowCount} * kRowHeight;
    QScrollBar* v = verticalScrollBar();
    if (top < v->value()) {
        v->setValue(static_cast<int>(top));
    } else if (bottom > v->value() + viewport()->height()) {
        v->setValue(static_cast<int>(std::min<int64_t>(bottom - viewport()->height(), top)));
    }
}

void LineListView::GoToLine(size_t line, bool middle) {
    const int64_t index = ShownIndexOfLine(line);
    if (index < 0) {
        return;
    }
    caret_line_ = static_cast<int64_t>(line);
    anchor_index_ = filtered_ ? shown_[static_cast<size_t>(index)] : index;
    ClearShownSelection();
    lines_.SetSelected(line, true);
    SelectionChanged();
    if (middle) {
        verticalScrollBar()->setValue(
            static_cast<int>(index * kRowHeight - (viewport()->height() - kRowHeight) / 2));
    } else {
        EnsureRowVisible(index);
    }
    viewport()->update();
}

bool LineListView::ReshowFilter(FilterMode mode, size_t context) {
    if (filter_.text.empty() || partial_ || pending_filter_ || rows_.empty()) {
        return false;
    }
    // The caret line's height on screen, to keep it there.
    const int64_t caretIndex = caret_line_ < 0 ? -1 : ShownIndexOfLine(caret_line_);
    const int64_t caretY =
        caretIndex < 0 ? 0 : caretIndex * kRowHeight - verticalScrollBar()->value();
    FilterRequest request = filter_;
    request.filter_mode = mode;
    request.context_before = request.context_after = context;
    try {
        lines_.Apply(ReshownResult(lines_, request));
    } catch (const std::bad_alloc&) {
        return false;
    }
    filter_ = request;
    ResetShownRows();
    BuildShownRows(true);
    CountShownLines();
    UpdateScrollRanges(false);
    // A caret line the new mode hides gives way to the next shown line.
    const size_t shownCount = lines_.ShownCount();
    size_t row = 0;
    for (size_t step = size_t{1} << 62; step > 0; step >>= 1) {
        if (row + step <= shownCount &&
            lines_.LineAtRow(row + step - 1) <
                static_cast<size_t>(std::max<int64_t>(caret_line_, 0))) {
            row += step;
        }
    }
    const int64_t index = row < shownCount ? ShownIndexOfLine(lines_.LineAtRow(row)) : -1;
    if (index >= 0 && caretIndex >= 0) {
        caret_line_ = ShownRowRef(index).line;
        verticalScrollBar()->setValue(static_cast<int>(index * kRowHeight - caretY));
    }
    viewport()->update();
    return true;
}

void LineListView::SetHighlighters(const std::vector<HighlightRule>& rules) {
    highlighter_ = LineHighlighter(rules);
    rule_runs_.clear();
    rule_runs_size_ = 0;
    viewport()->update();
}

void LineListView::SetLineNumbers(bool on) {
    line_numbers_ = on;
    gutter_->setVisible(on);
    LayOutGutter();
    if (word_wrap_ && !rows_.empty()) {
        // The rows are narrower or wider now.
        reformat_pending_ = true;
        QMetaObject::invokeMethod(this, &LineListView::Reformat, Qt::QueuedConnection);
    }
}

void LineListView::LayOutGutter() {
    const int width = line_numbers_ ? gutter_->WidthFor(document_.LineCount()) : 0;
    setViewportMargins(width, 0, 0, 0);
    const QRect area = viewport()->geometry();
    gutter_->setGeometry(area.left() - width, area.top(), width, area.height());
    gutter_->SetTop(verticalScrollBar()->value());
}

bool LineListView::HandleCaretKey(const QKeyEvent& event) {
    const bool shift = event.modifiers() & Qt::ShiftModifier;
    const int64_t n = ShownRowCount();
    int64_t caret = caret_line_ < 0 ? -1 : ShownIndexOfLine(static_cast<size_t>(caret_line_));
    if (event.key() == Qt::Key_Space && !shift) {
        if (caret >= 0) {
            SetSelected(ShownRowRef(caret), !IsSelected(ShownRowRef(caret)));
            SelectionChanged();
            viewport()->update();
        }
        return true;
    }
    const int64_t page = std::max(viewport()->height() / kRowHeight - 1, 1);
    const int64_t from = std::max<int64_t>(caret, 0);
    int64_t to = 0;
    switch (event.key()) {
        case Qt::Key_Up:
            to = caret < 0 ? 0 : from - 1;
            break;
        case Qt::Key_Down:
            to = caret < 0 ? 0 : from + ShownRowRef(from).rowCount;
            break;
        case Qt::Key_PageUp:
            to = from - page;
            break;
        case Qt::Key_PageDown:
            to = from + page;
            break;
        case Qt::Key_Home:
            to = 0;
            break;
        case Qt::Key_End:
            to = n - 1;
            break;
        default:
            return false;
    }
    if (n == 0) {
        return true;
    }
    to = std::clamp<int64_t>(to, 0, n - 1);
    to -= ShownRowRef(to).subRow;  // a line's first row
    caret_line_ = ShownRowRef(to).line;
    if (shift) {
        SelectRange(anchor_index_ < 0 ? 0 : std::max<int64_t>(ShownIndexOfRow(anchor_index_), 0),
                    to);
    } else {
        anchor_index_ = filtered_ ? shown_[static_cast<size_t>(to)] : to;
    }
    EnsureRowVisible(to);
    viewport()->update();
    return true;
}

}  // namespace linesift
