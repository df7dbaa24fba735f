#include "tester/results_pane.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <memory>

#include "qt_text.h"
#include "views/palette_colors.h"

namespace linesift {

ResultsPane::ResultsPane(QWidget* parent) : QTextBrowser(parent) {
    setOpenLinks(false);
    setFrameShape(QFrame::StyledPanel);
}

void ResultsPane::ShowHtml(const std::optional<std::u16string>& html) {
    html_ = html.value_or(std::u16string());
    ShowPage();
}

void ResultsPane::ShowPage() {
    if (html_.empty()) {
        clear();
    } else {
        setHtml(PageInPalette(ToQString(html_), palette()));
    }
}

void ResultsPane::changeEvent(QEvent* event) {
    QTextBrowser::changeEvent(event);
    if (event->type() == QEvent::PaletteChange && !html_.empty()) {
        ShowPage();
    }
}

QMenu* ResultsPane::CreateContextMenu(const QPoint& pos) {
    auto* menu = new QMenu(this);
    QAction* copyText = menu->addAction(tr("Copy"), this, &QTextBrowser::copy);
    copyText->setEnabled(textCursor().hasSelection());
    const QString link = anchorAt(pos);
    QAction* copyLink = menu->addAction(tr("Copy Shortcut"), this,
                                        [link] { QGuiApplication::clipboard()->setText(link); });
    copyLink->setEnabled(!link.isEmpty());
    return menu;
}

void ResultsPane::contextMenuEvent(QContextMenuEvent* event) {
    std::unique_ptr<QMenu> menu(CreateContextMenu(event->pos()));
    menu->exec(event->globalPos());
}

}  // namespace linesift
