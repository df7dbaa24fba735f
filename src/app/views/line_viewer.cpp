#include "views/line_viewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

#include "views/edit_shortcuts.h"
#include "views/list_font.h"
#include "views/palette_colors.h"

namespace linesift {

LineViewer::LineViewer(bool multiLine, QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setFont(ListFont());
    setLineWrapMode(multiLine ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(multiLine ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setFrameStyle(QFrame::NoFrame);
    document()->setDocumentMargin(1);
    ApplyColors();
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    hide();
}

void LineViewer::ApplyColors() {
    // The parent's palette: a style sheet sets this widget's own.
    const QPalette colors = parentWidget() != nullptr ? parentWidget()->palette() : QPalette();
    const QColor text = colors.color(QPalette::Text);
    const QColor background = Blend(colors.color(QPalette::Base), text, 0.1);
    const QString sheet =
        QStringLiteral(
            "linesift--LineViewer { background: %1; color: %2; border: 1px solid %2;"
            " padding: 0px; }")
            .arg(background.name(), text.name());
    if (styleSheet() != sheet) {
        setStyleSheet(sheet);
    }
}

void LineViewer::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange ||
        event->type() == QEvent::ApplicationPaletteChange ||
        event->type() == QEvent::ParentChange) {
        ApplyColors();
    }
}

void LineViewer::Open(const QString& text, const QRect& rect) {
    previous_focus_ = QApplication::focusWidget();
    ApplyColors();
    setPlainText(text);
    setGeometry(rect);
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
    selectAll();
    ensureCursorVisible();
    qApp->installEventFilter(this);
}

void LineViewer::CloseWith(CloseReason reason) {
    if (closing_ || isHidden()) {
        return;
    }
    closing_ = true;
    last_reason_ = reason;
    qApp->removeEventFilter(this);
    bool returnFocus = reason == kEnter || reason == kCancel || reason == kCtrlEnter;
    QPointer<QWidget> back = previous_focus_ != nullptr ? previous_focus_ : parentWidget();
    hide();
    if (returnFocus && back) {
        back->setFocus(Qt::OtherFocusReason);
    }
    closing_ = false;
}

bool LineViewer::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        return KeepOnlyEditShortcuts(event);
    }
    return QPlainTextEdit::event(event);
}

void LineViewer::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            CloseWith((event->modifiers() & Qt::ControlModifier) ? kCtrlEnter : kEnter);
            return;
        case Qt::Key_Escape:
            CloseWith(kCancel);
            return;
        default:
            QPlainTextEdit::keyPressEvent(event);
    }
}

void LineViewer::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) {
        return;  // our own context menu
    }
    QWidget* top = window();
    CloseWith(top != nullptr && top->isMinimized() ? kCancel : kFocusLost);
}

bool LineViewer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress && isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget != nullptr && widget != this && !isAncestorOf(widget) &&
            widget->window() != nullptr && !(widget->windowFlags() & Qt::Popup)) {
            CloseWith(kFocusLost);
        }
    }
    return QPlainTextEdit::eventFilter(watched, event);
}

}  // namespace linesift
