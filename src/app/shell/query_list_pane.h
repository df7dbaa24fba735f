#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <string>

#include "document/text_document.h"
#include "views/line_list_view.h"
#include "views/search_box_event.h"

namespace linesift {

// The area under the main bar: it holds the line list (all but the bottom
// pixel row) and applies queries to it from the search box's events and
// the query options in AppSettings.
class FilterWorker;

class QueryListPane : public QWidget {
    Q_OBJECT
  public:
    // document belongs to the caller and outlives the pane.
    QueryListPane(TextDocument& document, QWidget* parent);

    LineListView& List() { return *list_; }

    // Filters the list by text with the current options, when the document
    // has lines.
    void ApplyQuery(const std::u16string& text);
    // A search-box event: with search-as-you-type on, typing and clearing
    // apply the text; with it off, clearing and committing do.
    void OnSearchBoxEvent(const SearchBoxEvent& event);

    // A pass runs on the worker thread, its rows arriving in the list.
    bool IsFiltering() const;
    // Stops the running pass; the rows it found so far stay, marked partial
    // in the status bar. False when none ran.
    bool CancelFilter();
    // Stops the running pass and waits until it no longer reads the
    // document: call before the document changes.
    void StopFilter();
    // Lines from `from` on are new or have a new text (a followed file grew):
    // filters them with the list's query, on the worker thread when they are
    // many, and adds them to the list. The document must not change until
    // IsFiltering() is false.
    void FilterAppended(size_t from);
    // Documents of at least this many lines, and every regular expression,
    // are filtered on the worker thread; smaller ones at once. 0 restores the
    // default. For tests.
    void SetBackgroundFilterLinesForTesting(size_t lines);

  signals:
    // The status of a pass for the status bar: its progress, or how it ended
    // (lines the engine could not decide stay told until the next query);
    // empty once the list shows a complete result.
    void filterStatus(const QString& text);
    // A pass, or a filtering of appended lines, ended and its rows are in
    // the list: the document may change again.
    void filterEnded();
  signals:
    // Each applied query: the engine's message when it does not compile (an
    // invalid regular expression), empty when it does.
    void queryChecked(const QString& error);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    // Whether filtering lines [begin, end) takes long enough for the worker.
    bool IsLargeRange(size_t begin, size_t end) const;
    void OnChunk(size_t begin, size_t end, size_t total);
    void OnFinished(FilterStatus status, const FilterResult& result);
    // Filters the appended lines still waiting for the worker here and now,
    // so that the list holds every line of the document again.
    void FinishAppended();
    void OnRangeReady(size_t begin, FilterStatus status, const LineBits& matched);
    // Emits filterStatus when text is not empty or a status is shown.
    void ShowFilterStatus(const QString& text);

    TextDocument& document_;
    LineListView* list_;
    FilterWorker* worker_;
    QElapsedTimer pass_clock_;
    size_t background_lines_;
    bool status_shown_ = false;
    bool range_pending_ = false;  // appended lines from range_from_ on are on the worker
    size_t range_from_ = 0;
};

}  // namespace linesift
