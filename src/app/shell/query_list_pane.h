#pragma once

#include <QWidget>
#include <string>

#include "document/text_document.h"
#include "views/line_list_view.h"
#include "views/search_box_event.h"

namespace linesift {

// The area under the main bar: it holds the line list (all but the bottom
// pixel row) and applies queries to it from the search box's events and
// the query options in AppSettings.
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

  signals:
    // Each applied query: the engine's message when it does not compile (an
    // invalid regular expression), empty when it does.
    void queryChecked(const QString& error);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    TextDocument& document_;
    LineListView* list_;
};

}  // namespace linesift
