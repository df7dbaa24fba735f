#include "shell/query_list_pane.h"

#include <QPainter>

#include "filter/filter_range.h"
#include "filter/regex_pattern.h"
#include "qt_text.h"
#include "settings/app_settings.h"
#include "shell/filter_worker.h"

namespace linesift {

namespace {

// Below this many lines a pass takes a few milliseconds: it runs at once.
constexpr size_t kBackgroundFilterLines = 50000;
// Fewer lines of more bytes than this (one line of 300 MB) take as long.
constexpr uint64_t kBackgroundFilterBytes = uint64_t{4} << 20;
// Passes that take longer than this show their progress.
constexpr qint64 kShowProgressMs = 200;

// What the status bar says of a pass whose verdict on some lines is not
// known; empty when every line was decided.
QString UndecidedText(const FilterResult& result, size_t lines) {
    if (result.undecided_lines == 0) {
        return QString();
    }
    // The count first: a narrow status bar cuts the end off.
    return QStringLiteral("%1 of %2 lines could not be decided: the regular expression %3")
        .arg(result.undecided_lines)
        .arg(lines)
        .arg(result.gave_up ? QStringLiteral("backtracks too much, so filtering stopped")
                            : QStringLiteral("backtracks too much"));
}

}  // namespace

QueryListPane::QueryListPane(TextDocument& document, QWidget* parent)
    : QWidget(parent),
      document_(document),
      list_(new LineListView(document, this)),
      worker_(new FilterWorker(this)),
      background_lines_(kBackgroundFilterLines) {
    setObjectName(QStringLiteral("QueryListPane"));
    connect(worker_, &FilterWorker::chunkReady, this,
            [this](size_t begin, size_t end, size_t total, const std::vector<uint64_t>& words) {
                list_->ApplyFilterChunk(begin, end, words);
                OnChunk(begin, end, total);
            });
    connect(worker_, &FilterWorker::finished, this,
            [this](FilterStatus status, const FilterResult& result) {
                OnFinished(status, result);
                emit filterEnded();
            });
    connect(worker_, &FilterWorker::rangeReady, this,
            [this](size_t begin, FilterStatus status, const LineBits& matched) {
                OnRangeReady(begin, status, matched);
                emit filterEnded();
            });
}

void QueryListPane::ApplyQuery(const std::u16string& text) {
    const AppSettings& settings = AppSettings::Instance();
    QString error;
    if (!text.empty() && static_cast<QueryMode>(settings.query_mode) == QueryMode::Regex) {
        RegexPattern pattern;
        if (!pattern.Compile(text, RegexSyntax::Perl)) {
            error = ToQString(pattern.ErrorText());
        }
    }
    emit queryChecked(error);
    FinishAppended();
    if (document_.IsEmpty()) {
        return;
    }
    FilterRequest request{.text = text,
                          .match_case = settings.match_case,
                          .whole_word = settings.match_whole_word_only,
                          .query_mode = static_cast<QueryMode>(settings.query_mode),
                          .filter_mode = static_cast<FilterMode>(settings.filter_mode),
                          .context_before = static_cast<size_t>(settings.context_lines),
                          .context_after = static_cast<size_t>(settings.context_lines)};
    const bool background = !text.empty() && (IsLargeRange(0, document_.LineCount()) ||
                                              request.query_mode == QueryMode::Regex);
    if (!text.empty() && !ValidateFilterRequest(request)) {
        return;
    }
    ShowFilterStatus(QString());
    if (!background) {
        worker_->Cancel();
        list_->SetFilter(request);
        return;
    }
    list_->BeginFilter(request);
    worker_->Start(request, document_);
    pass_clock_.start();
}

void QueryListPane::ShowFilterStatus(const QString& text) {
    if (!text.isEmpty() || status_shown_) {
        status_shown_ = !text.isEmpty();
        emit filterStatus(text);
    }
}

void QueryListPane::OnSearchBoxEvent(const SearchBoxEvent& event) {
    if (AppliesQuery(event.code, AppSettings::Instance().search_as_you_type)) {
        ApplyQuery(event.text);
    }
}

bool QueryListPane::IsFiltering() const {
    return worker_->IsRunning();
}

bool QueryListPane::CancelFilter() {
    if (range_pending_) {
        FinishAppended();
        return false;
    }
    if (!worker_->IsRunning()) {
        return false;
    }
    worker_->Cancel();
    list_->CancelFilter();
    ShowFilterStatus(QStringLiteral("Filtering cancelled: the list shows %1 of %2 lines")
                         .arg(std::max<int64_t>(list_->PartialFilterLines(), 0))
                         .arg(document_.LineCount()));
    return true;
}

void QueryListPane::StopFilter() {
    worker_->Stop();
    range_pending_ = false;
}

bool QueryListPane::IsLargeRange(size_t begin, size_t end) const {
    begin = std::min(begin, end);
    return end - begin >= background_lines_ ||
           document_.EncodedBytes(begin, end) >= kBackgroundFilterBytes;
}

void QueryListPane::FilterAppended(size_t from) {
    FinishAppended();
    const FilterRequest& request = list_->Filter();
    if (!request.text.empty() &&
        (IsLargeRange(from, document_.LineCount()) || request.query_mode == QueryMode::Regex)) {
        range_pending_ = true;
        range_from_ = from;
        worker_->StartRange(request, document_, from, document_.LineCount());
        return;
    }
    LineBits matched;
    FilterStatus status = FilterRange(request, document_, from, document_.LineCount(), matched);
    OnRangeReady(from, status, matched);
}

void QueryListPane::FinishAppended() {
    if (!range_pending_) {
        return;
    }
    worker_->Stop();
    range_pending_ = false;
    LineBits matched;
    FilterStatus status =
        FilterRange(list_->Filter(), document_, range_from_, document_.LineCount(), matched);
    OnRangeReady(range_from_, status, matched);
}

void QueryListPane::OnRangeReady(size_t begin, FilterStatus status, const LineBits& matched) {
    range_pending_ = false;
    const FilterRequest& request = list_->Filter();
    const FilterMode mode = request.text.empty() ? FilterMode::ShowAll : request.filter_mode;
    if (status == FilterStatus::Done) {
        list_->AppendLines(static_cast<LineNo>(begin), matched, mode);
        return;
    }
    // The lines still join the list, as not matching: the list keeps every
    // line of the document.
    LineBits none;
    none.Reset(document_.LineCount() - std::min(begin, document_.LineCount()));
    list_->AppendLines(static_cast<LineNo>(begin), none, mode);
    if (status == FilterStatus::FileChanged) {
        ShowFilterStatus(QStringLiteral("The file changed on disk: reload it to filter it"));
    }
}

void QueryListPane::SetBackgroundFilterLinesForTesting(size_t lines) {
    background_lines_ = lines == 0 ? kBackgroundFilterLines : lines;
}

void QueryListPane::OnChunk(size_t, size_t end, size_t total) {
    if (total > 0 && pass_clock_.elapsed() >= kShowProgressMs) {
        ShowFilterStatus(QStringLiteral("Filtering... %1%").arg(end * 100 / total));
    }
}

void QueryListPane::OnFinished(FilterStatus status, const FilterResult& result) {
    if (status == FilterStatus::Done) {
        list_->FinishFilter(result);
        ShowFilterStatus(UndecidedText(result, document_.LineCount()));
        return;
    }
    list_->CancelFilter();
    if (status == FilterStatus::FileChanged) {
        ShowFilterStatus(QStringLiteral("The file changed on disk: reload it to filter it"));
        return;
    }
    ShowFilterStatus(QStringLiteral("Not enough memory to filter: the list shows %1 of %2 lines")
                         .arg(std::max<int64_t>(list_->PartialFilterLines(), 0))
                         .arg(document_.LineCount()));
}

void QueryListPane::resizeEvent(QResizeEvent*) {
    list_->setGeometry(0, 0, width(), std::max(height() - 1, 0));
}

void QueryListPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(0, height() - 1, width(), 1, palette().button());
}

}  // namespace linesift
