#pragma once

#include <QMenu>
#include <QTextBrowser>
#include <optional>
#include <string>

namespace linesift {

// The Regex Tester's results pane: shows a page of HTML text, or nothing,
// and offers "Copy" and "Copy Shortcut" on its context menu. The page is
// shown in the pane's palette, and shown again when that changes.
class ResultsPane : public QTextBrowser {
    Q_OBJECT
  public:
    explicit ResultsPane(QWidget* parent);

    // Shows the page, or a blank pane for none.
    void ShowHtml(const std::optional<std::u16string>& html);
    // The page last shown; empty while the pane is blank.
    const std::u16string& Html() const { return html_; }

    // The context menu for a click at pos (viewport coordinates): "Copy"
    // copies the selection, "Copy Shortcut" the address of the link at pos;
    // each is enabled only when there is something to copy. The caller owns
    // the menu.
    QMenu* CreateContextMenu(const QPoint& pos);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void ShowPage();

    std::u16string html_;
};

}  // namespace linesift
