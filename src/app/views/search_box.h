#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "views/search_box_event.h"

class QKeyEvent;
class QLineEdit;

namespace linesift {

class ClearButton;
class SearchEdit;
class SuggestPopup;

// The box the user types the query into. While idle it paints the query
// itself; while the user types, a single-line edit is shown inside it, which
// exists on screen while it has the focus or lent it to a menu, a dialog or
// another window. Every change of the text and every confirmation is emitted
// as a SearchBoxEvent; the suggestion popup is connected first.
//
// Keys in the edit: Enter commits, Escape empties the text (reported as
// TextCleared); losing the focus commits text that is not empty. Only
// Ctrl+C, Ctrl+X, Ctrl+V and Ctrl+Z stay with the edit; other shortcuts reach
// the window.
class SearchBox : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kHeight = 23;
    static constexpr int kMinimumWidth = 120;
    static constexpr int kTextLimit = 200;

    explicit SearchBox(QWidget* parent);
    ~SearchBox() override;

    // Starts editing: shows and focuses the edit with all its text selected.
    // With requestSuggestions, and auto_suggest on, the popup offers the
    // suggestions for the current text.
    void Activate(bool requestSuggestions);

    // Marks the query as one that does not compile: the box turns light red.
    void SetInvalid(bool invalid);

    // The current query text.
    std::u16string Text() const;
    // Whether the edit is shown (the user is typing).
    bool IsEditing() const;
    // The auto-suggest popup, for Clear History and its enabled state.
    SuggestPopup& Popup() { return *popup_; }
    // The edit the user types into (hidden while idle).
    QLineEdit& Edit();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  signals:
    // Every change of the text and every confirmation, synchronously; the
    // suggestion popup hears of it first.
    void searchEvent(const SearchBoxEvent& event);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    friend class SearchEdit;

    // Calls from the edit.
    bool OnEditKey(const QKeyEvent& key);
    void OnEditFocusIn();
    // hideEdit: false while a menu, a dialog or another window has the focus.
    void OnEditFocusLost(bool hideEdit);

    void OnTextChanged();
    void OnClearClicked();
    void EmptyText(bool reportCleared);
    void OnMousePressAnywhere(QWidget* target, Qt::MouseButton button);
    void SetHovered(bool hovered);
    void LayOut();
    void UpdateButtonImage();
    void Notify(uint32_t code);
    // The edit's background and text in this box's palette and state.
    void ApplyEditColors();

    SearchEdit* edit_;
    ClearButton* clear_;
    SuggestPopup* popup_;
    bool hovered_ = false;
    bool invalid_ = false;
    bool clear_flag_ = false;  // the change being made empties the box on purpose
};

}  // namespace linesift
