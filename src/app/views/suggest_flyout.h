#pragma once

#include <string>
#include <string_view>

#include "suggest/query_history.h"
#include "views/flat_list.h"
#include "views/flyout_wnd.h"
#include "views/search_box_event.h"

class QKeyEvent;
class QLineEdit;

namespace linesift {

// The auto-suggest popup under the search box: it offers up to five earlier
// queries while the user types and records every committed query. The
// histories come from AppSettings when it is created and go back there
// whenever they change. It shows itself only while auto_suggest is on;
// recording goes on regardless.
class SuggestFlyout : public VeFlyoutWndBase, public SearchBoxListener, public FlatListListener {
    Q_OBJECT
  public:
    // anchor: the box the popup opens under; edit: the box's edit, which a
    // picked suggestion fills. Both outlive the popup (anchor owns it).
    SuggestFlyout(QWidget& anchor, QLineEdit& edit);
    // Writes the histories back to AppSettings.
    ~SuggestFlyout() override;

    // A change or a request shows the suggestions for the text (or hides the
    // popup when there are none); a commit records a non-empty text and hides it.
    void OnSearchBoxEvent(const SearchBoxEvent& event) override;
    // A clicked item goes into the edit and the popup hides.
    void OnFlatListEvent(const FlatListEvent& event) override;

    // Moves the popup under the anchor: same left and width, one pixel of overlap.
    void PlaceUnderAnchor();
    // Offers a key pressed in the edit: the arrow keys, Escape and Enter work
    // the popup while it is shown. True when the key was used up here.
    bool HandleKey(const QKeyEvent& key);

    // Forgets both histories (and the items they were showing).
    void ClearHistory();
    // Whether there is a history to clear.
    bool HasHistory() const { return history_.HasHistory(); }
    const QueryHistory& History() const { return history_; }
    VeFlatList& List() { return *list_; }

  private:
    void ShowSuggestions(std::u16string_view text);
    void ShowLastItems();
    void FitToItems();
    void PutInEdit(const std::u16string& text);
    void StoreHistory() const;

    QWidget& anchor_;
    QLineEdit& edit_;
    VeFlatList* list_;
    QueryHistory history_;
};

}  // namespace linesift
