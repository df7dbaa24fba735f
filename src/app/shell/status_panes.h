#pragma once

#include <QLabel>
#include <QStatusBar>
#include <QTimer>
#include <cstdint>

namespace linesift {

// The status bar: a message pane that shows "Ready" when idle, the prompt
// of a highlighted menu item, or a text for some milliseconds; then the
// "All", "Fil" and "Sel" counts and the document's encoding, which opens
// the encoding menu when clicked.
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
    // The encoding pane's text; empty for no document.
    void SetEncoding(const QString& text);
    // 0 the message, 1..3 the counts, 4 the encoding.
    QString PaneText(int pane) const;
    // The encoding pane's rectangle in this bar's coordinates.
    QRect EncodingPaneRect() const;

  signals:
    // The encoding pane was clicked; globalPos is its top-left corner.
    void encodingClicked(QPoint globalPos);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLabel* AddPane(const QString& widest);

    QLabel* message_;
    QLabel* all_;
    QLabel* filtered_;
    QLabel* selected_;
    QLabel* encoding_;
    QTimer timer_;
    QString idle_text_;
};

}  // namespace linesift
