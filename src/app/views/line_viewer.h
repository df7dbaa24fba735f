#pragma once

#include <QPlainTextEdit>
#include <functional>

namespace linesift {

// The read-only line viewer the list opens over a line: single-line
// (scrolling sideways) or multi-line (wrapping). It closes when it loses the
// focus, on Enter, Ctrl+Enter or Escape, and on a mouse press anywhere
// outside it in the application.
class LineViewer : public QPlainTextEdit {
    Q_OBJECT
  public:
    enum CloseReason { kFocusLost = 0, kEnter = 1, kCtrlEnter = 2, kCancel = 16 };

    LineViewer(bool multiLine, QWidget* parent);

    // Shows text over rect, focused, all selected.
    void Open(const QString& text, const QRect& rect);
    // Hides the viewer, returning the focus on Enter and Escape.
    void CloseWith(CloseReason reason);
    int LastCloseReason() const { return last_reason_; }

  protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // Colours from the parent's palette: Text on a shade of Base.
    void ApplyColors();

    bool closing_ = false;
    int last_reason_ = kFocusLost;
    QWidget* previous_focus_ = nullptr;
};

}  // namespace linesift
