#include "views/line_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "document/clipboard_text.h"
#include "qt_text.h"
#include "views/char_advances.h"
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
      multi_viewer_(new LineViewer(true, viewport())) {
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
    }
    ResetShownRows();
    if (!filter_.text.empty()) {
        BuildShownRows(true);
    }
    CountShownLines();
    UpdateScrollRanges(true);
    viewport()->update();
}

void LineListView::AppendLines(size_t from, const LineBits& matched, FilterMode mode) {
    const size_t count = from + matched.size();
    if (from > lines_.LineCount() || count != document_.LineCount()) {
        return;
    }
    // The last row counts as shown when any of it is: a horizontal scroll bar
    // that appears may cover part of it.
    QScrollBar* bar = verticalScrollBar();
    const int64_t rows = ShownRowCount();
    const bool stick =
        (rows == 0 || (rows - 1) * kRowHeight < bar->value() + viewport()->height()) &&
        !HasSelection();
    // New lines are not selected: the count changes only when a line read
    // again was selected, or some were.
    bool recount = selected_count_ != 0;
    for (size_t line = from; line < lines_.LineCount(); ++line) {
        recount = recount || lines_.IsSelected(line);
    }
    lines_.Append(from, matched, mode);
    // The rows of lines from `from` on are made again: the last one's text may have changed.
    const size_t firstRow = static_cast<size_t>(
        std::lower_bound(rows_.begin(), rows_.end(), from,
                         [](const TextRow& row, size_t line) { return row.line < line; }) -
        rows_.begin());
    rows_.resize(firstRow);
    if (filtered_) {
        shown_.erase(std::lower_bound(shown_.begin(), shown_.end(), firstRow), shown_.end());
    }
    for (auto it = highlights_.begin(); it != highlights_.end();) {
        it = it->first >= from ? highlights_.erase(it) : std::next(it);
    }
    geometry_.Clear();
    buffered_line_ = -1;
    const bool wantMatched = mode == FilterMode::HideUnmatched;
    const double width = WrapWidth();
    for (size_t line = from; line < count; ++line) {
        const bool isMatched = matched.Test(line - from);
        uint32_t rowCount = 1;
        if (word_wrap_) {
            std::u16string_view text = LineText(static_cast<uint32_t>(line));
            rowCount = text.size() >= 2 ? CountWrappedRows(text, width, ListFontAdvances()) : 1;
        }
        for (uint32_t sub = 0; sub < rowCount; ++sub) {
            if (filtered_ && isMatched == wantMatched) {
                shown_.push_back(static_cast<uint32_t>(rows_.size()));
            }
            rows_.push_back(
                TextRow{static_cast<uint32_t>(line), sub, -1, isMatched ? 1u : 0u, rowCount});
        }
    }
    CountShownLines();
    if (recount) {
        SelectionChanged();
    }
    UpdateScrollRanges(false);
    if (stick) {
        bar->setValue(bar->maximum());
    }
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
    const bool complete = partial_ && partial_line_ == document_.LineCount() &&
                          partial_row_ == rows_.size() && !result.gave_up;
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
    bool wantMatched = filter_.filter_mode == FilterMode::HideUnmatched;
    filtered_ = true;
    for (size_t i = 0; i < rows_.size(); ++i) {
        if ((rows_[i].matched != 0) == wantMatched) {
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
    QScrollBar* v = verticalScrollBar();
    QScrollBar* h = horizontalScrollBar();
    switch (event->key()) {
        case Qt::Key_Down:
            ScrollRows(1);
            break;
        case Qt::Key_Up:
            ScrollRows(-1);
            break;
        case Qt::Key_PageDown:
        case Qt::Key_Space:
            v->setValue(v->value() + VerticalPage());
            break;
        case Qt::Key_PageUp:
            v->setValue(v->value() - VerticalPage());
            break;
        case Qt::Key_Home:
            v->setValue(0);
            break;
        case Qt::Key_End:
            v->setValue(v->maximum());
            break;
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
        PaintMarquee(painter, QRect(press_point_, current_point_).normalized().translated(scroll));
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
    const std::vector<HighlightRange>* ranges = text.empty() ? nullptr : HighlightsFor(row);
    if (ranges != nullptr) {
        std::vector<HighlightRange> lit;
        for (const HighlightRange& r : *ranges) {
            if (std::max(r.start, start) < std::min(r.end, end)) {
                lit.push_back({std::max(r.start, start) - start, std::min(r.end, end) - start});
            }
        }
        MergeHighlightRanges(lit);
        const QColor color = QColor::fromRgb(highlight_color_);
        for (const HighlightRange& r : lit) {
            runs.push_back({r.start, r.end, color});
        }
    }
    input.runs = runs;
    return input;
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
    dragging_ = true;
    drag_lo_ = drag_hi_ = -1;
    if (hit >= 0) {
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
    } else if (ShownRowCount() > 0 && !ctrl && !shift) {
        ClearShownSelection();
        drag_lo_ = 0;  // an empty range: nothing is selected
        drag_hi_ = -1;
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
    QRect r = QRect(press_point_, current_point_).normalized();
    int64_t start = r.top() < 0 ? 0 : RowFromPoint(ToDocument(r.topLeft()));
    if (start >= 0 && ShownRowCount() > 0) {
        int64_t end = RowFromPoint(ToDocument(r.bottomRight()));
        DragSelectRange(start, end >= 0 ? end : ShownRowCount() - 1);
    }
    viewport()->repaint();
}

void LineListView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && dragging_) {
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
    if (hit >= 0) {
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
