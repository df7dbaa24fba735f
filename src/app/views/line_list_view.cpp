#include "views/line_list_view.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <thread>

#include "document/clipboard_text.h"
#include "filter/line_navigation.h"
#include "platform/memory_room.h"
#include "qt_text.h"
#include "shell/clipboard_backend.h"
#include "views/char_advances.h"
#include "views/line_number_gutter.h"
#include "views/line_viewer.h"
#include "views/list_font.h"
#include "views/long_line_wraps.h"
#include "views/palette_colors.h"
#include "views/row_painter.h"
#include "views/word_wrap.h"

namespace linesift {

namespace {

// The most lines read at once while laying out or copying.
constexpr LineNo kReadLines = 4096;
// The characters of a long line wrapped between two looks at the clock:
// well under a millisecond.
constexpr size_t kWrapPieceChars = 256 * 1024;
// How often a step of work that waits for a background line looks again.
constexpr int kWaitMs = 20;
// The characters of a background line copied between two looks at the clock.
constexpr size_t kCopyPieceChars = size_t{4} << 20;

}  // namespace

// A copy in steps: the lines it copies were taken when it began.
struct LineListView::CopyJob {
    LineBits lines;
    LineNo next = 0;
    LineNo total = 0;
    LineNo count = 0;
    QString text;
    LineBatch batch;
    size_t piece = 0;    // the characters of a background line copied so far
    bool waits = false;  // for a background line's text
};

// A background line made ready on a thread of its own: its text (unless
// the list holds it already in prepared_text_), the query's matches and the
// highlighters' runs in it.
struct LineListView::LineJob {
    uint64_t serial = 0;
    LineNo line = -1;
    bool decode = false;
    std::optional<FilterRequest> query;    // its matches are found when set
    std::optional<LineHighlighter> rules;  // a copy: its runs are found when set
    uint64_t highlight_generation = 0;
    uint64_t rule_generation = 0;
    std::u16string text;
    std::vector<HighlightRange> ranges;
    std::vector<ColoredRange> runs;
    std::thread thread;

    // On the job's thread; text is the line's text when it was not decoded here.
    void Run(const TextDocument& document, const std::u16string* held) {
        std::u16string_view line_text;
        if (decode) {
            line_text = document.LineText(static_cast<size_t>(line), text);
            if (line_text.data() != text.data()) {
                text.assign(line_text);
            } else {
                text.resize(line_text.size());
            }
            line_text = text;
        } else {
            line_text = *held;
        }
        if (query) {
            CompiledQuery compiled(query->text, QueryOptions{.match_case = query->match_case,
                                                             .whole_word = query->whole_word,
                                                             .query_mode = query->query_mode});
            std::vector<MatchSpan> spans;
            if (compiled.FindSpans(line_text, spans)) {
                ranges.reserve(spans.size());
                for (const MatchSpan& span : spans) {
                    ranges.push_back({span.start, span.end});
                }
            }
        }
        if (rules) {
            rules->RunsOf(line_text, runs);
        }
    }
};

LineListView::LineListView(TextDocument& document, QWidget* parent)
    : QAbstractScrollArea(parent),
      document_(document),
      layout_timer_(new QTimer(this)),
      copy_timer_(new QTimer(this)),
      single_viewer_(new LineViewer(false, viewport())),
      multi_viewer_(new LineViewer(true, viewport())),
      gutter_(new LineNumberGutter(
          [this](int64_t row) -> int64_t {
              const std::optional<TextRow> r = ShownRow(row);
              return r && r->subRow == 0 ? r->line : -1;
          },
          kRowHeight, this)),
      drag_scroll_(new QTimer(this)) {
    memory_room_ = [] { return AvailableMemoryBytes(); };
    long_wraps_ = std::make_unique<LongLineWraps>();
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
    layout_timer_->setSingleShot(true);
    connect(layout_timer_, &QTimer::timeout, this, &LineListView::LayoutStep);
    copy_timer_->setSingleShot(true);
    connect(copy_timer_, &QTimer::timeout, this, [this] {
        if (!CopyStep(step_ms_)) {
            emit busy(QStringLiteral("Copying... %1%").arg(copy_->count * 100 / copy_->total));
            copy_timer_->start(copy_->waits ? kWaitMs : 0);
            return;
        }
        FinishCopy(copy_ != nullptr && PutTextOnClipboard(copy_->text));
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

LineListView::~LineListView() {
    DropLineJob();
}

// Rows

void LineListView::DropRows() {
    HideLineViewers();
    CancelCopy();
    pending_filter_.reset();
    caret_line_ = -1;
    anchor_line_ = -1;
    geometry_.Clear();
    long_wraps_->Clear();
    DropLineJob();
    layout_waits_ = false;
    // An empty document shows no row, not one empty line.
    lines_.Reset(document_.IsEmpty() ? 0 : static_cast<LineNo>(document_.LineCount()));
    buffered_line_ = -1;
    long_buffered_line_ = -1;
    long_buffer_ = std::u16string();  // it may be hundreds of megabytes
    prepared_line_ = -1;
    prepared_text_ = std::u16string();
    highlights_.clear();
    highlights_size_ = 0;
    ++highlight_generation_;
    rule_runs_.clear();
    rule_runs_size_ = 0;
    ++rule_generation_;
    ShownLinesChanged();
}

void LineListView::ShownLinesChanged() {
    SelectionChanged();
    content_width_ = 1;
    layout_.Clear();
    layout_failed_ = false;
    layout_anchor_ = -1;
}

void LineListView::Rebuild(bool redraw, bool resetScroll) {
    DropRows();
    LayOutGutter();
    UpdateScrollRanges(resetScroll);
    RestartLayout();
    if (redraw) {
        viewport()->update();
    }
}

void LineListView::Clear(bool redraw) {
    DropRows();
    lines_.Reset(0);
    layout_timer_->stop();
    UpdateScrollRanges(true);
    if (redraw) {
        viewport()->update();
    }
}

void LineListView::SetFilter(const FilterRequest& request) {
    pending_filter_.reset();
    filter_ = request;
    highlight_query_.reset();
    highlights_.clear();
    highlights_size_ = 0;
    ++highlight_generation_;
    if (!request.text.empty() &&
        (!ValidateFilterRequest(request) || lines_.LineCount() == 0 || document_.IsEmpty())) {
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
    if (filter_.text.empty()) {
        // No query: every line shown, none matched; the selection stays.
        result.matched.Reset(static_cast<size_t>(lines_.LineCount()));
        result.shown.ShowAll(static_cast<size_t>(lines_.LineCount()));
        result.gave_up = false;
    } else if (result.matched.size() != document_.LineCount()) {
        return;
    }
    if (result.gave_up) {
        emit statusMessage(
            QStringLiteral(
                "The regular expression backtracks too much: no line counts as matching"),
            5000);
    }
    lines_.Apply(std::move(result));
    ShownLinesChanged();
    UpdateScrollRanges(true);
    RestartLayout();
    viewport()->update();
}

void LineListView::BeginFilter(const FilterRequest& request) {
    pending_filter_ = request;
}

void LineListView::StartPartialRows() {
    filter_ = *pending_filter_;
    pending_filter_.reset();
    highlight_query_.reset();
    highlights_.clear();
    highlights_size_ = 0;
    ++highlight_generation_;
    lines_.BeginChunks(filter_.filter_mode, filter_.context_before, filter_.context_after);
    ShownLinesChanged();
}

void LineListView::ApplyFilterChunk(LineNo begin, LineNo end, const std::vector<uint64_t>& words) {
    const bool first = pending_filter_.has_value();
    if (first) {
        StartPartialRows();
    }
    if (!lines_.ApplyChunk(begin, end, words)) {
        return;
    }
    // Lines shown after the measured ones leave the layout as it is.
    SelectionChanged();
    UpdateScrollRanges(first);
    ScheduleLayout();
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
    }
    const bool complete = lines_.ChunksEnd() == lines_.LineCount() && !result.gave_up &&
                          result.shown.size() == static_cast<size_t>(lines_.ShownCount());
    if (!complete) {
        ApplyFilterResult(result);
        return;
    }
    // The chunks showed this result already: the rows and their layout stay.
    lines_.Apply(result);
    SelectionChanged();
    UpdateScrollRanges(false);
    ScheduleLayout();
    viewport()->update();
}

void LineListView::SetWordWrap(bool on, bool rebuild, bool redraw) {
    const RowNo top = verticalScrollBar()->value() / kRowHeight;
    const ShownNo topShown = top < ShownRowCount() ? RowAt(top).shown : 0;
    word_wrap_ = on;
    setHorizontalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    if (!rebuild) {
        return;
    }
    // The lines shown, matched and selected stay; only the rows change.
    const LineNo lines = document_.IsEmpty() ? 0 : static_cast<LineNo>(document_.LineCount());
    if (lines_.LineCount() != lines) {
        DropRows();  // not shown yet: shown afresh
    }
    content_width_ = 1;
    RestartLayout(on);
    UpdateScrollRanges(false);
    if (!on) {
        verticalScrollBar()->setValue(
            static_cast<int>(std::min<RowNo>(topShown * kRowHeight, INT32_MAX)));
    }
    if (redraw) {
        viewport()->update();
    }
}

double LineListView::WrapWidth() const {
    return std::max(viewport()->width() - kWrapInset, 1) - 8.0;
}

int LineListView::DocumentWidth() const {
    return word_wrap_ ? viewport()->width() : std::max(content_width_, viewport()->width());
}

RowNo LineListView::ShownRowCount() const {
    return word_wrap_ ? layout_.RowCount(lines_.ShownCount()) : lines_.ShownCount();
}

TextRow LineListView::RowAt(RowNo row) const {
    TextRow r;
    r.shown = word_wrap_ ? layout_.ShownAt(row) : row;
    r.line = lines_.LineAt(r.shown);
    if (word_wrap_) {
        r.subRow = static_cast<int32_t>(row - layout_.FirstRow(r.shown));
        r.rowCount = static_cast<int32_t>(std::min<RowNo>(layout_.RowsOf(r.shown), INT32_MAX));
    }
    r.matched = lines_.IsMatched(r.line) ? 1 : 0;
    return r;
}

std::optional<TextRow> LineListView::ShownRow(RowNo row) const {
    if (row < 0 || row >= ShownRowCount()) {
        return std::nullopt;
    }
    return RowAt(row);
}

std::u16string LineListView::RowLineText(RowNo row) const {
    std::optional<TextRow> r = ShownRow(row);
    return r ? std::u16string(LineText(r->line)) : std::u16string();
}

std::u16string_view LineListView::RowDisplayText(const TextRow& row, int64_t& start,
                                                 int64_t& end) const {
    std::u16string_view text = LineText(row.line);
    start = 0;
    end = static_cast<int64_t>(text.size());
    if (!word_wrap_ || row.rowCount <= 1) {
        return text;
    }
    if (text.size() >= LongLineWraps::kMinLength) {
        // Found from the place remembered nearest to it, not from the line's start.
        const auto [first, last] = long_wraps_->RowRange(
            row.line, text, layout_width_, ListFontAdvances(), static_cast<uint32_t>(row.subRow));
        start = static_cast<int64_t>(first);
        end = static_cast<int64_t>(last);
        return text.substr(first, last - first);
    }
    static thread_local std::vector<uint32_t> starts;
    WrapLine(text, layout_width_, ListFontAdvances(), starts);
    const auto sub = static_cast<size_t>(row.subRow);
    if (sub >= starts.size()) {
        start = end = 0;
        return {};
    }
    start = starts[sub];
    end = sub + 1 < starts.size() ? starts[sub + 1] : end;
    return text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
}

std::u16string_view LineListView::LineText(LineNo line) const {
    if (buffered_line_ == line) {
        return line_buffer_;
    }
    if (long_buffered_line_ == line) {
        return long_buffer_;
    }
    if (prepared_line_ == line) {
        return prepared_text_;
    }
    const bool background = IsBackgroundLine(line);
    if (background && line_job_ != nullptr) {
        // The job may read prepared_text_, or bring this very line. Taking
        // its results changes only caches, which painting fills too.
        const_cast<LineListView*>(this)->FinishLineJob(line_job_->serial);
        if (prepared_line_ == line) {
            return prepared_text_;
        }
    }
    // A long line keeps a buffer of its own: painting the short lines around
    // it must not make it be decoded again.
    const bool isLong = !background && IsLongLine(line);
    std::u16string& buffer = background ? prepared_text_ : isLong ? long_buffer_ : line_buffer_;
    std::u16string_view text = document_.LineText(static_cast<size_t>(line), buffer);
    if (text.data() != buffer.data()) {
        buffer.assign(text);  // text the document holds itself
    } else {
        buffer.resize(text.size());
    }
    (background ? prepared_line_ : isLong ? long_buffered_line_ : buffered_line_) = line;
    return buffer;
}

bool LineListView::IsBackgroundLine(LineNo line) const {
    return line >= 0 && line < static_cast<LineNo>(document_.LineCount()) &&
           document_.EncodedBytes(static_cast<size_t>(line), static_cast<size_t>(line) + 1) >=
               background_line_bytes_;
}

bool LineListView::LinePending(LineNo line, bool highlights) {
    if (!IsBackgroundLine(line)) {
        return false;
    }
    const bool text = prepared_line_ == line;
    const bool spans = highlights && !filter_.text.empty() && lines_.IsMatched(line) &&
                       !highlights_.contains(line);
    const bool runs = highlights && !highlighter_.empty() && !rule_runs_.contains(line);
    if (text && !spans && !runs) {
        return false;
    }
    if (line_job_ == nullptr) {
        StartLineJob(line, spans, runs);
    }
    return true;
}

void LineListView::StartLineJob(LineNo line, bool spans, bool runs) {
    line_job_ = std::make_unique<LineJob>();
    LineJob& job = *line_job_;
    job.serial = ++line_job_serial_;
    job.line = line;
    job.decode = prepared_line_ != line;
    if (spans) {
        job.query = filter_;
    }
    if (runs) {
        job.rules = highlighter_;
    }
    job.highlight_generation = highlight_generation_;
    job.rule_generation = rule_generation_;
    background_decodes_ += job.decode ? 1 : 0;
    const std::u16string* held = job.decode ? nullptr : &prepared_text_;
    job.thread = std::thread([this, &job, held] {
        job.Run(document_, held);
        QMetaObject::invokeMethod(
            this, [this, serial = job.serial] { FinishLineJob(serial); }, Qt::QueuedConnection);
    });
}

void LineListView::FinishLineJob(uint64_t serial) {
    if (line_job_ == nullptr || line_job_->serial != serial) {
        return;
    }
    std::unique_ptr<LineJob> job = std::move(line_job_);
    job->thread.join();
    if (job->decode) {
        prepared_text_ = std::move(job->text);
        prepared_line_ = job->line;
    }
    // Left out of the caches' sizes: the short lines' runs filling them up
    // must not drop these, made again only on a thread of their own.
    if (job->query && job->highlight_generation == highlight_generation_) {
        highlights_[job->line] = std::move(job->ranges);
    }
    if (job->rules && job->rule_generation == rule_generation_) {
        rule_runs_[job->line] = std::move(job->runs);
    }
    viewport()->update();
}

void LineListView::DropLineJob() {
    if (line_job_ != nullptr) {
        line_job_->thread.join();
        line_job_.reset();
    }
}

bool LineListView::IsLongLine(LineNo line) const {
    return line >= 0 && line < static_cast<LineNo>(document_.LineCount()) &&
           document_.EncodedBytes(static_cast<size_t>(line), static_cast<size_t>(line) + 1) >=
               LongLineWraps::kMinLength;
}

RowNo LineListView::LineRowCount(LineNo line) const {
    if (line < 0 || line >= static_cast<LineNo>(document_.LineCount())) {
        return 0;
    }
    if (!word_wrap_) {
        return 1;
    }
    std::u16string_view text = LineText(line);
    return text.size() >= 2 ? CountWrappedRows(text, WrapWidth(), ListFontAdvances()) : 1;
}

// Following a growing file

void LineListView::AppendLines(LineNo from, const LineBits& matched, FilterMode mode) {
    const LineNo count = from + static_cast<LineNo>(matched.size());
    if (from < 0 || from > lines_.LineCount() ||
        count != static_cast<LineNo>(document_.LineCount())) {
        return;
    }
    const bool stick = ShowsLastRow() && !HasSelection();
    const LineNo oldCount = lines_.LineCount();
    // The shown lines before the first changed one keep their places and
    // rows; the layout forgets the rest, as the last line's text may have changed.
    const LineNo changed =
        lines_.Append(from, matched, mode, filter_.context_before, filter_.context_after);
    ShownNo kept = 0;
    for (ShownNo end = lines_.ShownCount(); kept < end;) {
        const ShownNo mid = kept + (end - kept) / 2;
        if (lines_.LineAt(mid) < changed) {
            kept = mid + 1;
        } else {
            end = mid;
        }
    }
    // New lines are not selected: the count changes only when a line read
    // again or shown as context now was selected, or some were.
    bool recount = selected_count_ != 0;
    for (LineNo line = changed; line < oldCount && !recount; ++line) {
        recount = lines_.IsSelected(line);
    }
    layout_.Truncate(kept);
    if (stick || layout_anchor_ >= kept) {
        layout_anchor_ = -1;
    }
    std::erase_if(highlights_, [from](const auto& entry) { return entry.first >= from; });
    geometry_.Clear();
    // A long line above the changed ones keeps its rows: measuring it again
    // could take seconds.
    long_wraps_->ClearFrom(from);
    buffered_line_ = -1;
    if (line_job_ != nullptr && line_job_->line >= from) {
        DropLineJob();
    }
    if (prepared_line_ >= from) {
        prepared_line_ = -1;
    }
    if (long_buffered_line_ >= from) {
        long_buffered_line_ = -1;
    }
    if (recount) {
        SelectionChanged();
    }
    if (line_numbers_) {
        LayOutGutter();  // the numbers may have gained a digit
    }
    UpdateScrollRanges(false);
    ScheduleLayout();
    QScrollBar* bar = verticalScrollBar();
    last_row_scroll_ = -1;
    if (stick) {
        bar->setValue(bar->maximum());
        last_row_scroll_ = word_wrap_ ? bar->value() : -1;
    }
    viewport()->update();
}

bool LineListView::ShowsLastRow() const {
    const RowNo rows = ShownRowCount();
    return rows == 0 ||
           (rows - 1) * kRowHeight < verticalScrollBar()->value() + viewport()->height();
}

void LineListView::KeepLastRowShown() {
    QScrollBar* bar = verticalScrollBar();
    if (last_row_scroll_ < 0 || bar->value() != last_row_scroll_) {
        last_row_scroll_ = -1;
        return;
    }
    bar->setValue(bar->maximum());
    const bool measured = layout_failed_ || layout_.Measured() >= lines_.ShownCount();
    last_row_scroll_ = measured ? -1 : bar->value();
}

// Word wrap layout

void LineListView::RestartLayout(bool report) {
    const RowNo top = verticalScrollBar()->value() / kRowHeight;
    const ShownNo anchor = top > 0 && top < ShownRowCount() ? RowAt(top).shown : -1;
    layout_.Clear();
    layout_failed_ = false;
    layout_timer_->stop();
    long_wraps_->Clear();
    if (!word_wrap_) {
        if (layout_busy_) {
            layout_busy_ = false;
            emit busy(QString());
        }
        return;
    }
    layout_width_ = WrapWidth();
    layout_.Reserve(lines_.ShownCount());
    layout_anchor_ = anchor;
    layout_anchor_scroll_ = verticalScrollBar()->value();
    if (report && !layout_busy_ && lines_.ShownCount() > 0) {
        layout_busy_ = true;
        emit busy(QStringLiteral("Reformatting..."));
    }
    LayoutStep();
}

void LineListView::ScheduleLayout() {
    if (word_wrap_ && !layout_failed_ && layout_.Measured() < lines_.ShownCount() &&
        !layout_timer_->isActive()) {
        layout_timer_->start(0);
    }
}

void LineListView::LayoutStep() {
    const ShownNo before = layout_.Measured();
    if (!MeasureLines(step_ms_)) {
        layout_failed_ = true;
    }
    const bool done = layout_failed_ || layout_.Measured() >= lines_.ShownCount();
    QScrollBar* bar = verticalScrollBar();
    UpdateScrollRanges(false);
    const bool anchored = layout_anchor_ >= 0 && bar->value() == layout_anchor_scroll_;
    if (anchored) {
        // The user has not scrolled since: the line at the top stays there.
        bar->setValue(static_cast<int>(
            std::min<RowNo>(layout_.FirstRow(layout_anchor_) * kRowHeight, INT32_MAX)));
        layout_anchor_scroll_ = bar->value();
    }
    KeepLastRowShown();
    // The screen changes when the rows above it moved, or when it shows
    // lines measured in this step or still to be measured.
    const RowNo bottom = (bar->value() + viewport()->height()) / kRowHeight;
    const bool moved = bar->value() > 0 && !anchored;
    if (moved || bottom >= ShownRowCount() || RowAt(bottom).shown >= before) {
        viewport()->update();
    }
    if (done) {
        layout_anchor_ = -1;
        if (layout_busy_) {
            layout_busy_ = false;
            emit busy(QString());
        }
    } else {
        layout_busy_ = true;
        emit busy(QStringLiteral("Reformatting... %1%").arg(LayoutPercent()));
        layout_timer_->start(layout_waits_ ? kWaitMs : 0);
    }
}

bool LineListView::MeasureLines(int budgetMs) {
    QElapsedTimer clock;
    clock.start();
    CharAdvances& advances = ListFontAdvances();
    const ShownLines& shown = lines_.Shown();
    const LineNo lineCount = lines_.LineCount();
    LineBatch batch;
    const ShownNo stepEnd = step_lines_ > 0 ? layout_.Measured() + step_lines_ : -1;
    // At least one run of lines (or piece of a long line) per step, however
    // small the budget.
    for (bool first = true;
         layout_.Measured() < lines_.ShownCount() &&
         (first || (clock.elapsed() < budgetMs && layout_.Measured() != stepEnd));
         first = false) {
        // A run of consecutive shown lines from the first one not measured;
        // a long line is measured alone, in pieces.
        const LineNo begin = lines_.LineAt(layout_.Measured());
        layout_waits_ = LinePending(begin, false);
        if (layout_waits_) {
            return true;  // measured once its text is ready
        }
        if (IsLongLine(begin)) {
            if (!MeasureLongLine(begin, clock, budgetMs)) {
                return false;
            }
            continue;
        }
        LineNo end = begin + 1;
        const LineNo most =
            stepEnd >= 0 ? std::min(kReadLines, stepEnd - layout_.Measured()) : kReadLines;
        while (end < lineCount && end - begin < most && shown.Contains(end) && !IsLongLine(end)) {
            ++end;
        }
        ReadStatus status = document_.ReadLines(
            static_cast<size_t>(begin), static_cast<size_t>(end), batch,
            [&](const LineBatch& read) {
                for (size_t k = 0; k < read.size(); ++k) {
                    std::u16string_view text = read.Line(k);
                    layout_.Append(
                        text.size() >= 2 ? CountWrappedRows(text, layout_width_, advances) : 1);
                }
                return true;
            });
        if (status != ReadStatus::Ok) {
            return false;
        }
    }
    return true;
}

bool LineListView::MeasureLongLine(LineNo line, const QElapsedTimer& clock, int budgetMs) {
    const std::u16string_view text = LineText(line);
    if (text.empty()) {
        if (document_.FileChanged()) {
            return false;
        }
        layout_.Append(1);
        return true;
    }
    do {
        const uint32_t rows =
            long_wraps_->Measure(line, text, layout_width_, ListFontAdvances(), kWrapPieceChars);
        if (rows > 0) {
            layout_.Append(rows);
            return true;
        }
    } while (clock.elapsed() < budgetMs);
    return true;  // goes on in the next step
}

int LineListView::LayoutPercent() const {
    const ShownNo count = lines_.ShownCount();
    const ShownNo measured = layout_.Measured();
    if (count <= 0 || measured >= count) {
        return 100;
    }
    // A long line measured in part counts for its share.
    const LineNo line = lines_.LineAt(measured);
    const double share =
        long_buffered_line_ == line ? long_wraps_->MeasuredShare(line, long_buffer_.size())
        : prepared_line_ == line    ? long_wraps_->MeasuredShare(line, prepared_text_.size())
                                    : 0;
    return static_cast<int>((static_cast<double>(measured) + share) * 100 / count);
}

void LineListView::Reformat() {
    if (word_wrap_ && lines_.LineCount() > 0 && WrapWidth() != layout_width_) {
        RestartLayout(true);
    }
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
    horizontalScrollBar()->setRange(0, std::max(DocumentWidth() - viewport()->width(), 0));
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
    if (word_wrap_ && size.width() != last_size_.width()) {
        QMetaObject::invokeMethod(this, &LineListView::Reformat, Qt::QueuedConnection);
    }
    last_size_ = size;
    LayOutGutter();
    UpdateScrollRanges(false);
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
    for (RowNo i = top / kRowHeight;
         i < ShownRowCount() && i * kRowHeight < top + viewport()->height(); ++i) {
        widest = std::max(widest, MeasureRowWidth(RowAt(i)));
    }
    if (widest > std::max(content_width_, viewport()->width())) {
        content_width_ = widest;
        UpdateScrollRanges(false);
    }
}

int32_t LineListView::MeasureRowWidth(const TextRow& row) {
    // Only the rows on the screen are measured, on each paint: short lines
    // cost little, and long ones are remembered by the geometry cache.
    if (LinePending(row.line, false)) {
        return 0;
    }
    int64_t start = 0;
    int64_t end = 0;
    std::u16string_view text = RowDisplayText(row, start, end);
    double w = word_wrap_
                   ? ListFontAdvances().Width(text)
                   : geometry_.Width(static_cast<uint32_t>(row.line), text, ListFontAdvances());
    return static_cast<int32_t>(std::min(w + 10 + 8, 2.0e9));
}

void LineListView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const RowColors colors = RowColorsOf(viewport()->palette());
    painter.fillRect(event->rect(), colors.background);
    painter.setFont(ListFont());
    const QPoint scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int docWidth = DocumentWidth();
    painter.translate(-scroll);
    const QRect view = event->rect().translated(scroll);
    if (preview_ != nullptr && ShownRowCount() == 0) {
        PaintLoadPreview(painter, colors);
        return;
    }
    std::vector<HighlightRun> runs;
    for (RowNo i = view.top() / kRowHeight; i < ShownRowCount() && i * kRowHeight <= view.bottom();
         ++i) {
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

void LineListView::SetLoadPreview(const TextDocument* loading) {
    if (preview_ == loading) {
        return;
    }
    preview_ = loading;
    preview_rows_ = 0;
    preview_buffer_ = std::u16string();
    viewport()->update();
}

void LineListView::UpdateLoadPreview() {
    if (preview_ == nullptr) {
        return;
    }
    const RowNo screen = (viewport()->height() + kRowHeight - 1) / kRowHeight;
    const RowNo rows = std::min<RowNo>(static_cast<RowNo>(preview_->IndexedLines()), screen);
    if (rows != preview_rows_) {
        preview_rows_ = rows;
        viewport()->update();
    }
}

void LineListView::PaintLoadPreview(QPainter& painter, const RowColors& colors) {
    CharAdvances& advances = ListFontAdvances();
    const int width = viewport()->width();
    for (RowNo i = 0; i < preview_rows_; ++i) {
        RowPaintInput input{
            .text = preview_->IndexedLineText(static_cast<size_t>(i), preview_buffer_),
            .rect = QRect(0, static_cast<int>(i * kRowHeight), width, kRowHeight),
            .visible_width = static_cast<double>(width),
            .advances = &advances,
            .colors = &colors,
        };
        PaintRow(painter, input);
    }
}

RowPaintInput LineListView::RowPaintInputOf(RowNo rowIndex, const QRect& rowRect,
                                            std::vector<HighlightRun>& runs) {
    const TextRow row = RowAt(rowIndex);
    int64_t start = 0;
    int64_t end = 0;
    runs.clear();
    if (LinePending(row.line, true)) {
        // An empty row until the line's text and matches are ready.
        return RowPaintInput{.rect = rowRect,
                             .visible_width = static_cast<double>(viewport()->width()),
                             .selected = lines_.IsSelected(row.line),
                             .advances = &ListFontAdvances()};
    }
    const std::u16string_view text = RowDisplayText(row, start, end);
    const int scrollX = horizontalScrollBar()->value();
    CharAdvances& advances = ListFontAdvances();
    RowPaintInput input{
        .text = text,
        .rect = rowRect,
        .visible_left = static_cast<double>(scrollX),
        .visible_width = static_cast<double>(viewport()->width()),
        .selected = lines_.IsSelected(row.line),
        .dimmed = lines_.IsContext(row.line),
        .group_start = row.subRow == 0 && StartsShownGroup(lines_, row.shown),
        .caret_frame = hasFocus() && caret_line_ == row.line,
        .sub_row = word_wrap_ ? row.subRow : 0,
        .row_count = word_wrap_ ? row.rowCount : 1,
        .advances = &advances,
    };
    if (!word_wrap_ && !text.empty()) {
        const double left = rowRect.left() + kRowTextInset;
        auto [offset, x] =
            geometry_.Seek(static_cast<uint32_t>(row.line), text, scrollX - left, advances);
        input.anchor = {offset, x};
        // Runs only where characters can be seen (and one beyond): a line
        // of megabytes may have millions.
        const double clipLeft = std::max(left, input.visible_left);
        const VisibleText visible =
            FindVisibleText(text, input.anchor, clipLeft - left,
                            clipLeft + input.visible_width + 1 - left, advances);
        start = static_cast<int64_t>(visible.first);
        end = std::min(static_cast<int64_t>(visible.last) + 1, end);
    }
    runs.clear();
    if (!text.empty()) {
        CollectRuns(row, start, end, runs);
        if (!word_wrap_) {
            for (HighlightRun& run : runs) {
                run.begin += start;  // offsets into the whole line's text
                run.end += start;
            }
        }
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

const std::vector<ColoredRange>& LineListView::RuleRunsFor(LineNo line) {
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

RowNo LineListView::RowFromPoint(QPoint p) const {
    int64_t height = ShownRowCount() * kRowHeight;
    if (p.x() < 0 || p.x() > DocumentWidth() || p.y() < 0 || p.y() >= height) {
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

ShownNo LineListView::SelectedLineCount() const {
    if (selected_count_ < 0) {
        selected_count_ = lines_.SelectedShownCount();
    }
    return selected_count_;
}

void LineListView::SelectAll() {
    if (lines_.SelectAllShown()) {
        SelectionChanged();
        viewport()->update();
    }
}

void LineListView::SelectInverse() {
    lines_.InvertShown();
    SelectionChanged();
    if (ShownRowCount() > 0) {
        viewport()->update();
    }
}

void LineListView::ClearShownSelection() {
    lines_.DeselectShown();
    SelectionChanged();
}

void LineListView::Deselect() {
    if (HasSelection()) {
        ClearShownSelection();
        viewport()->update();
    }
}

void LineListView::SelectRange(RowNo a, RowNo b) {
    const RowNo n = ShownRowCount();
    if (a < 0 || b < 0 || a >= n || b >= n) {
        return;
    }
    // Word by word over the selection bits: fast for a drag over millions of rows.
    lines_.SelectShown(RowAt(a).shown, RowAt(b).shown);
    SelectionChanged();
    viewport()->update();
}

// Copying

LineNo LineListView::CopySelection() {
    if (!HasSelection()) {
        return 0;
    }
    CancelCopy();
    // The clipboard holds the whole text at once: a text that cannot fit is
    // refused here, since the kernel would kill the program part-way instead
    // of an allocation failing.
    uint64_t bytes = 0;
    lines_.ForEachSelectedShownRun(
        [&](size_t begin, size_t end) { bytes += document_.EncodedBytes(begin, end); });
    const uint64_t needed = bytes * sizeof(char16_t);
    if (std::optional<uint64_t> room = memory_room_(); room && needed > *room) {
        emit statusMessage(QStringLiteral("Not enough memory to copy %1 lines (%2 MB needed, %3 MB "
                                          "free): export them instead")
                               .arg(SelectedLineCount())
                               .arg(needed >> 20)
                               .arg(*room >> 20),
                           8000);
        return 0;
    }
    copy_ = std::make_unique<CopyJob>();
    copy_->lines = lines_.SelectedShownBits();
    copy_->total = SelectedLineCount();
    copy_->text.reserve(static_cast<qsizetype>(bytes));
    if (CopyStep(step_ms_)) {
        // Done at once: the caller reports it.
        const LineNo count = copy_ != nullptr ? copy_->count : 0;
        const bool put = copy_ != nullptr && PutTextOnClipboard(copy_->text);
        copy_.reset();
        return put ? count : 0;
    }
    emit busy(QStringLiteral("Copying... %1%").arg(copy_->count * 100 / copy_->total));
    copy_timer_->start(copy_->waits ? kWaitMs : 0);
    return -1;
}

bool LineListView::CopyStep(int budgetMs) {
    if (copy_ == nullptr) {
        return true;
    }
    QElapsedTimer clock;
    clock.start();
    CopyJob& job = *copy_;
    const std::vector<uint64_t>& words = job.lines.Words();
    const auto lineCount = static_cast<LineNo>(job.lines.size());
    const LineNo stepEnd = step_lines_ > 0 ? job.count + step_lines_ : -1;
    for (bool first = true; first || (clock.elapsed() < budgetMs && job.count != stepEnd);
         first = false) {
        // The next run of selected lines, from job.next on.
        LineNo begin = job.next;
        while (begin < lineCount && !job.lines.Test(static_cast<size_t>(begin))) {
            begin = (begin & 63) == 0 && words[static_cast<size_t>(begin) >> 6] == 0 ? begin + 64
                                                                                     : begin + 1;
        }
        if (begin >= lineCount) {
            return true;
        }
        if (IsBackgroundLine(begin)) {
            if (!CopyBackgroundLine(begin, clock, budgetMs)) {
                return copy_ == nullptr;  // failed, or goes on in the next step
            }
            continue;
        }
        LineNo end = begin + 1;
        const LineNo most =
            step_lines_ > 0 ? std::min(kReadLines, stepEnd - job.count) : kReadLines;
        while (end < lineCount && end - begin < most && job.lines.Test(static_cast<size_t>(end)) &&
               !IsBackgroundLine(end)) {
            ++end;
        }
        ReadStatus status = ReadStatus::OutOfMemory;
        try {
            status =
                document_.ReadLines(static_cast<size_t>(begin), static_cast<size_t>(end), job.batch,
                                    [&job](const LineBatch& read) {
                                        for (size_t k = 0; k < read.size(); ++k) {
                                            if (!job.text.isEmpty()) {
                                                job.text.append(QChar(u'\n'));
                                            }
                                            std::u16string_view line = read.Line(k);
                                            job.text.append(QStringView(
                                                line.data(), static_cast<qsizetype>(line.size())));
                                        }
                                        job.count += static_cast<LineNo>(read.size());
                                        return true;
                                    });
        } catch (const std::bad_alloc&) {
            job.text = QString();
        }
        job.next = end;
        if (status != ReadStatus::Ok) {
            emit statusMessage(
                status == ReadStatus::OutOfMemory
                    ? QStringLiteral("Not enough memory to copy the lines: nothing was copied")
                    : QStringLiteral("The file changed on disk: nothing was copied"),
                5000);
            copy_.reset();
            return true;
        }
    }
    return false;
}

bool LineListView::CopyBackgroundLine(LineNo line, const QElapsedTimer& clock, int budgetMs) {
    CopyJob& job = *copy_;
    job.waits = LinePending(line, false);
    if (job.waits) {
        return false;
    }
    // Such a line is never empty: empty text is a read that failed.
    if (prepared_text_.empty()) {
        emit statusMessage(QStringLiteral("The file changed on disk: nothing was copied"), 5000);
        copy_.reset();
        return false;
    }
    try {
        if (job.piece == 0 && !job.text.isEmpty()) {
            job.text.append(QChar(u'\n'));
        }
        do {
            const size_t n = std::min(kCopyPieceChars, prepared_text_.size() - job.piece);
            job.text.append(
                QStringView(prepared_text_.data() + job.piece, static_cast<qsizetype>(n)));
            job.piece += n;
        } while (job.piece < prepared_text_.size() && clock.elapsed() < budgetMs);
    } catch (const std::bad_alloc&) {
        emit statusMessage(
            QStringLiteral("Not enough memory to copy the lines: nothing was copied"), 5000);
        copy_.reset();
        return false;
    }
    if (job.piece < prepared_text_.size()) {
        return false;
    }
    job.piece = 0;
    job.next = line + 1;
    ++job.count;
    return true;
}

void LineListView::FinishCopy(bool put) {
    const LineNo count = copy_ != nullptr ? copy_->count : 0;
    copy_.reset();
    emit busy(QString());
    if (put) {
        emit statusMessage(QStringLiteral("%1 lines copied to clipboard").arg(count), 3000);
    }
}

bool LineListView::StopCopy() {
    if (copy_ == nullptr) {
        return false;
    }
    CancelCopy();
    emit statusMessage(QStringLiteral("Copying cancelled: the clipboard was not changed"), 5000);
    return true;
}

void LineListView::CancelCopy() {
    copy_timer_->stop();
    if (copy_ != nullptr) {
        copy_.reset();
        emit busy(QString());
    }
}

void LineListView::mousePressEvent(QMouseEvent* event) {
    bool ctrl = event->modifiers() & Qt::ControlModifier;
    bool shift = event->modifiers() & Qt::ShiftModifier;
    QPoint p = event->position().toPoint();
    const RowNo hit = RowFromPoint(ToDocument(p));
    const std::optional<TextRow> row = ShownRow(hit);
    setFocus(Qt::MouseFocusReason);
    if (event->button() == Qt::RightButton) {
        if (row) {
            caret_line_ = row->line;
            if (!ctrl && !shift && !lines_.IsSelected(row->line)) {
                ClearShownSelection();
                lines_.SetSelected(row->line, true);
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
    if (row) {
        PressRow(hit, ctrl, shift);
        return;
    }
    if (ShownRowCount() > 0 && !ctrl && !shift) {
        ClearShownSelection();
    }
    SelectionChanged();
    viewport()->update();
}

void LineListView::PressRow(RowNo hit, bool ctrl, bool shift) {
    const TextRow row = RowAt(hit);
    caret_line_ = row.line;
    if (ctrl) {
        lines_.SetSelected(row.line, !lines_.IsSelected(row.line));
    } else if (shift) {
        // From the anchor's line, when it is shown; the first row without one.
        const ShownNo anchor = anchor_line_ < 0 ? 0 : lines_.ShownOf(anchor_line_);
        if (anchor >= 0) {
            lines_.SelectShown(anchor, row.shown);
        }
    } else {
        anchor_line_ = row.line;
        ClearShownSelection();
        lines_.SetSelected(row.line, true);
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
    const QRect r = QRect(press_document_, ToDocument(current_point_)).normalized();
    const RowNo start = r.top() < 0 ? 0 : RowFromPoint(r.topLeft());
    if (start >= 0 && ShownRowCount() > 0) {
        const RowNo end = RowFromPoint(r.bottomRight());
        SelectRange(start, end >= 0 ? end : ShownRowCount() - 1);
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
    const RowNo hit = RowFromPoint(ToDocument(event->position().toPoint()));
    if (hit >= 0 && (event->modifiers() & Qt::ControlModifier)) {
        caret_line_ = RowAt(hit).line;
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
        caret_line_ = lines_.LineAt(0);
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

void LineListView::OpenLineViewer(RowNo rowIndex) {
    const TextRow row = RowAt(rowIndex);
    LineViewer* viewer = word_wrap_ && row.rowCount > 1 ? multi_viewer_ : single_viewer_;
    int top = static_cast<int>(rowIndex * kRowHeight - verticalScrollBar()->value()) -
              row.subRow * kRowHeight;
    int height = word_wrap_ ? row.rowCount * kRowHeight : kRowHeight;
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

RowNo LineListView::FirstRowOfLine(LineNo line) const {
    const ShownNo shown = lines_.ShownOf(line);
    return shown < 0 ? -1 : FirstRowOf(shown);
}

ShownNo LineListView::CaretShown() const {
    return caret_line_ < 0 || lines_.ChunksEnd() >= 0 ? -1 : lines_.ShownOf(caret_line_);
}

void LineListView::ScrollToY(int64_t y) {
    QScrollBar* bar = verticalScrollBar();
    bar->setValue(static_cast<int>(std::clamp<int64_t>(y, 0, bar->maximum())));
    if (layout_timer_->isActive()) {
        const RowNo top = bar->value() / kRowHeight;
        layout_anchor_ = top < ShownRowCount() ? RowAt(top).shown : -1;
        layout_anchor_scroll_ = bar->value();
    }
}

void LineListView::EnsureRowVisible(RowNo row) {
    const TextRow r = RowAt(row);
    const int64_t top = (row - r.subRow) * kRowHeight;
    const int64_t bottom = top + int64_t{r.rowCount} * kRowHeight;
    const int value = verticalScrollBar()->value();
    if (top < value) {
        ScrollToY(top);
    } else if (bottom > value + viewport()->height()) {
        ScrollToY(std::min<int64_t>(bottom - viewport()->height(), top));
    }
}

void LineListView::GoToLine(LineNo line, bool middle) {
    const RowNo row = FirstRowOfLine(line);
    if (row < 0) {
        return;
    }
    caret_line_ = line;
    anchor_line_ = line;
    ClearShownSelection();
    lines_.SetSelected(line, true);
    SelectionChanged();
    if (middle) {
        ScrollToY(row * kRowHeight - (viewport()->height() - kRowHeight) / 2);
    } else {
        EnsureRowVisible(row);
    }
    viewport()->update();
}

bool LineListView::ReshowFilter(FilterMode mode, size_t context) {
    if (filter_.text.empty() || lines_.ChunksEnd() >= 0 || pending_filter_ ||
        lines_.LineCount() == 0) {
        return false;
    }
    // The caret line's height on screen, to keep it there.
    const RowNo caretRow = caret_line_ < 0 ? -1 : FirstRowOfLine(caret_line_);
    const int64_t caretY = caretRow < 0 ? 0 : caretRow * kRowHeight - verticalScrollBar()->value();
    FilterRequest request = filter_;
    request.filter_mode = mode;
    request.context_before = request.context_after = context;
    try {
        lines_.Apply(ReshownResult(lines_, request));
    } catch (const std::bad_alloc&) {
        return false;
    }
    filter_ = request;
    ShownLinesChanged();
    UpdateScrollRanges(false);
    // A caret line the new mode hides gives way to the next shown line.
    const ShownNo shownCount = lines_.ShownCount();
    const LineNo caret = std::max<LineNo>(caret_line_, 0);
    ShownNo next = 0;
    for (ShownNo step = ShownNo{1} << 62; step > 0; step >>= 1) {
        if (next + step <= shownCount && lines_.LineAt(next + step - 1) < caret) {
            next += step;
        }
    }
    RestartLayout();
    if (next < shownCount && caretRow >= 0) {
        caret_line_ = lines_.LineAt(next);
        ScrollToY(FirstRowOf(next) * kRowHeight - caretY);
    }
    viewport()->update();
    return true;
}

void LineListView::SetHighlighters(const std::vector<HighlightRule>& rules) {
    highlighter_ = LineHighlighter(rules);
    rule_runs_.clear();
    rule_runs_size_ = 0;
    ++rule_generation_;
    viewport()->update();
}

void LineListView::SetLineNumbers(bool on) {
    line_numbers_ = on;
    gutter_->setVisible(on);
    LayOutGutter();
    if (word_wrap_) {
        // The rows are narrower or wider now.
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
    const RowNo n = ShownRowCount();
    const RowNo caret = caret_line_ < 0 ? -1 : FirstRowOfLine(caret_line_);
    if (event.key() == Qt::Key_Space && !shift) {
        if (caret >= 0) {
            lines_.SetSelected(caret_line_, !lines_.IsSelected(caret_line_));
            SelectionChanged();
            viewport()->update();
        }
        return true;
    }
    const RowNo page = std::max(viewport()->height() / kRowHeight - 1, 1);
    const RowNo from = std::max<RowNo>(caret, 0);
    RowNo to = 0;
    switch (event.key()) {
        case Qt::Key_Up:
            to = caret < 0 ? 0 : from - 1;
            break;
        case Qt::Key_Down:
            to = caret < 0 ? 0 : from + RowAt(from).rowCount;
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
    to = std::clamp<RowNo>(to, 0, n - 1);
    to -= RowAt(to).subRow;  // a line's first row
    const TextRow row = RowAt(to);
    caret_line_ = row.line;
    if (shift) {
        const ShownNo anchor = anchor_line_ < 0 ? 0 : lines_.ShownOf(anchor_line_);
        lines_.SelectShown(std::max<ShownNo>(anchor, 0), row.shown);
        SelectionChanged();
    } else {
        anchor_line_ = row.line;
    }
    EnsureRowVisible(to);
    viewport()->update();
    return true;
}

}  // namespace linesift
