#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>
#include <string>
#include <string_view>

#include "suggest/query_history.h"
#include "views/flat_list.h"
#include "views/search_box_event.h"

class QKeyEvent;
class QVariantAnimation;
class QLineEdit;

namespace linesift {

// The auto-suggest popup under the search box: it offers up to five earlier
// queries while the user types and records every committed query. The
// histories come from AppSettings when it is created and go back there
// whenever they change. It shows itself only while auto_suggest is on;
// recording goes on regardless.
//
// It never takes the activation or the focus: a frameless window with a
// one-pixel border around the list. It rolls open from top to bottom and
// hides itself once the pointer has stayed outside it for five seconds
// without any other sign of use.
class SuggestPopup : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 1000;
    static constexpr int kHideAfterMs = 5000;
    static constexpr int kOpenMs = 200;

    // anchor: the box the popup opens under; edit: the box's edit, which a
    // picked suggestion fills. Both outlive the popup (anchor owns it).
    SuggestPopup(QWidget& anchor, QLineEdit& edit);
    // Writes the histories back to AppSettings.
    ~SuggestPopup() override;

    // A change or a request shows the suggestions for the text (or hides the
    // popup when there are none); a commit records a non-empty text and hides it.
    void OnSearchBoxEvent(const SearchBoxEvent& event);

    // Moves the popup under the anchor: same left and width, one pixel of overlap.
    void PlaceUnderAnchor();
    // Offers a key pressed in the edit: the arrow keys, Escape and Enter work
    // the popup while it is shown. True when the key was used up here.
    bool HandleKey(const QKeyEvent& key);

    // Shows the popup without activating it, rolling it open, and starts the
    // auto-hide timer. Nothing happens while it is shown already.
    void ShowPopup();
    // Hides the popup and stops the timer.
    void HidePopup();
    // Restarts the five seconds: the user is working with the popup.
    void ResetTimeOutside() { time_outside_ms_ = 0; }
    int TimeOutsideMs() const { return time_outside_ms_; }
    // How long rolling open takes; 0 shows the popup whole at once.
    void SetOpenDuration(int ms) { open_ms_ = ms; }

    // Forgets both histories (and the items they were showing).
    void ClearHistory();
    // Whether there is a history to clear.
    bool HasHistory() const { return history_.HasHistory(); }
    const QueryHistory& History() const { return history_; }
    FlatList& List() { return *list_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A clicked item goes into the edit and the popup hides.
    void OnItemSelected(int index);
    void OnTick();
    void OnRollStep(const QVariant& shownFraction);
    void StopRolling();
    void ShowSuggestions(std::u16string_view text);
    void ShowLastItems();
    void FitToItems();
    void PutInEdit(const std::u16string& text);
    void StoreHistory() const;

    QWidget& anchor_;
    QLineEdit& edit_;
    FlatList* list_;
    QueryHistory history_;
    QTimer auto_hide_{this};
    QVariantAnimation* roll_;
    int time_outside_ms_ = 0;
    int open_ms_ = kOpenMs;
};

}  // namespace linesift
