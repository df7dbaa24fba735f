#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <cstdint>

namespace linesift {

// The status bar: a message pane that shows "Ready" when idle, the prompt
// of a highlighted menu item, or a text for some milliseconds; then the
// "All", "Fil" and "Sel" counts and a reserved pane.
class StatusPanes : public QStatusBar {
    Q_OBJECT
  public:
    explicit StatusPanes(QWidget* parent);

    QString MessageText() const { return message_->text(); }
    // Shows text until further notice.
    void SetMessage(const QString& text);
    // Shows text for ms milliseconds (at least 10), then the idle text.
    void ShowTimed(const QString& text, int ms);
    // What the message pane returns to after a timed text; empty for "Ready".
    void SetIdleText(const QString& text);
    // Shows text and paints it at once, without processing events.
    void ShowNow(const QString& text);
    // The three counts; with hasLines false the panes are emptied.
    void SetCounts(bool hasLines, int64_t all, int64_t filtered, int64_t selected);
    QString PaneText(int pane) const;

  private:
    QLabel* AddPane(const QString& widest);

    QLabel* message_;
    QLabel* all_;
    QLabel* filtered_;
    QLabel* selected_;
    QTimer timer_;
    QString idle_text_;
};

}  // namespace linesift
