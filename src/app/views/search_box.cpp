#include "views/search_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "views/clear_button.h"
#include "views/edit_shortcuts.h"
#include "views/list_font.h"
#include "views/palette_colors.h"
#include "views/search_box_colors.h"
#include "views/search_box_painter.h"
#include "views/suggest_popup.h"

namespace linesift {

// The single-line edit inside the box, shown only while it has the focus.
class SearchEdit : public QLineEdit {
  public:
    explicit SearchEdit(SearchBox& box) : QLineEdit(&box), box_(box) {
        setObjectName(QStringLiteral("SearchEdit"));
        setFrame(false);
        setFont(ListFont());
        setTextMargins(0, 0, 1, 0);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        setMaxLength(SearchBox::kTextLimit);
        hide();
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            // Without selected text here, Ctrl+C copies the selected lines.
            const auto* key = static_cast<const QKeyEvent*>(event);
            if (key->key() == Qt::Key_C && key->modifiers() == Qt::ControlModifier &&
                !hasSelectedText()) {
                event->ignore();
                return false;
            }
            return KeepOnlyEditShortcuts(event);
        }
        return QLineEdit::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (box_.OnEditKey(*event)) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }
    void focusInEvent(QFocusEvent* event) override {
        QLineEdit::focusInEvent(event);
        box_.OnEditFocusIn();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        // A menu, a dialog or another window takes the focus only for a
        // while: the edit stays, so the focus can come back to it.
        const Qt::FocusReason reason = event->reason();
        if (reason != Qt::PopupFocusReason) {  // not for the edit's own menu
            box_.OnEditFocusLost(reason != Qt::MenuBarFocusReason &&
                                 reason != Qt::ActiveWindowFocusReason);
        }
    }

  private:
    SearchBox& box_;
};

SearchBox::SearchBox(QWidget* parent)
    : QWidget(parent), edit_(new SearchEdit(*this)), clear_(new ClearButton(this)) {
    setObjectName(QStringLiteral("SearchBox"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    clear_->hide();
    connect(clear_, &QAbstractButton::clicked, this, &SearchBox::OnClearClicked);
    connect(edit_, &QLineEdit::textChanged, this, &SearchBox::OnTextChanged);
    popup_ = new SuggestPopup(*this, *edit_);
    connect(this, &SearchBox::searchEvent, popup_, &SuggestPopup::OnSearchBoxEvent);
    ApplyEditColors();
    LayOut();
    qApp->installEventFilter(this);
}

SearchBox::~SearchBox() {
    qApp->removeEventFilter(this);
    disconnect(this, &SearchBox::searchEvent, nullptr, nullptr);
    disconnect(edit_, nullptr, this, nullptr);
    // Gone before this object's members, so neither calls back into them.
    delete popup_;
    delete edit_;
}

void SearchBox::Activate(bool requestSuggestions) {
    if (IsEditing()) {
        edit_->selectAll();
    } else {
        edit_->show();
        LayOut();
        edit_->setFocus(Qt::OtherFocusReason);
        edit_->selectAll();
        repaint();
        UpdateButtonImage();
    }
    if (requestSuggestions && AppSettings::Instance().auto_suggest && !popup_->isVisible()) {
        popup_->PlaceUnderAnchor();
        Notify(SearchBoxEvent::SuggestRequested);
    }
}

void SearchBox::SetInvalid(bool invalid) {
    if (invalid_ == invalid) {
        return;
    }
    invalid_ = invalid;
    ApplyEditColors();
    update();
}

void SearchBox::ApplyEditColors() {
    const BoxColors colors = BoxColorsOf(palette());
    QPalette editColors = palette();
    editColors.setColor(QPalette::Base, invalid_ ? colors.invalid : colors.editing);
    editColors.setColor(QPalette::Text, colors.edit_text);
    edit_->setPalette(editColors);
}

void SearchBox::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        ApplyEditColors();
    }
}

std::u16string SearchBox::Text() const {
    return ToU16(edit_->text());
}

bool SearchBox::IsEditing() const {
    return !edit_->isHidden();
}

QLineEdit& SearchBox::Edit() {
    return *edit_;
}

QSize SearchBox::sizeHint() const {
    return QSize(240, kHeight);
}

QSize SearchBox::minimumSizeHint() const {
    return QSize(kMinimumWidth, kHeight);
}

void SearchBox::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    PaintSearchBox(painter, rect(),
                   SearchBoxLook{.editing = IsEditing(),
                                 .hovered = hovered_,
                                 .invalid = invalid_,
                                 .text = edit_->text(),
                                 .colors = BoxColorsOf(palette())});
}

void SearchBox::resizeEvent(QResizeEvent* /*event*/) {
    LayOut();
}

// A press anywhere on the box that no button takes (the text, the frame and
// its margins, the magnifier) starts editing, as a press in the text does.
void SearchBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (!IsEditing()) {
        Activate(true);
    } else if (!edit_->hasFocus()) {
        edit_->setFocus(Qt::MouseFocusReason);
    }
}

void SearchBox::mouseMoveEvent(QMouseEvent* event) {
    const bool overEdit = SearchBoxLayout::EditRect(rect()).contains(event->position().toPoint());
    setCursor(overEdit ? Qt::IBeamCursor : Qt::ArrowCursor);
}

void SearchBox::enterEvent(QEnterEvent* /*event*/) {
    SetHovered(true);
}

void SearchBox::leaveEvent(QEvent* /*event*/) {
    SetHovered(false);
}

bool SearchBox::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
            if (auto* target = qobject_cast<QWidget*>(watched)) {
                auto* mouse = static_cast<QMouseEvent*>(event);
                OnMousePressAnywhere(target, event->type() == QEvent::MouseButtonPress
                                                 ? mouse->button()
                                                 : Qt::NoButton);
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
            // The window moved under the popup (its title bar is the window
            // system's, whose presses never reach us).
            if (watched == window() && popup_->isVisible()) {
                popup_->HidePopup();
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

bool SearchBox::OnEditKey(const QKeyEvent& key) {
    if (popup_->HandleKey(key)) {
        return true;
    }
    if (key.isAutoRepeat()) {
        return false;
    }
    switch (key.key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Notify(SearchBoxEvent::Committed);
            return true;
        case Qt::Key_Escape:
            EmptyText(true);
            return true;
        default:
            return false;
    }
}

void SearchBox::OnEditFocusIn() {
    clear_flag_ = false;
}

void SearchBox::OnEditFocusLost(bool hideEdit) {
    popup_->HidePopup();
    if (hideEdit) {
        edit_->hide();
    }
    UpdateButtonImage();
    update();
    if (!edit_->text().isEmpty()) {
        Notify(SearchBoxEvent::Committed);
    }
}

void SearchBox::OnTextChanged() {
    const bool empty = edit_->text().isEmpty();
    if (empty != clear_->isHidden()) {
        clear_->setVisible(!empty);
        LayOut();
        UpdateButtonImage();
    }
    update();
    Notify(clear_flag_ ? SearchBoxEvent::TextCleared : SearchBoxEvent::TextChanged);
}

void SearchBox::OnClearClicked() {
    EmptyText(!edit_->hasFocus());
}

void SearchBox::EmptyText(bool reportCleared) {
    // The flag marks only the change made here, so typing afterwards is
    // reported as TextChanged again.
    clear_flag_ = reportCleared;
    if (!edit_->text().isEmpty()) {
        edit_->selectAll();
        edit_->del();
    } else if (reportCleared) {
        Notify(SearchBoxEvent::TextCleared);
    }
    clear_flag_ = false;
    update();
}

void SearchBox::OnMousePressAnywhere(QWidget* target, Qt::MouseButton button) {
    const bool inPopup = target == popup_ || popup_->isAncestorOf(target);
    if (target != edit_ && !inPopup) {
        if (popup_->isVisible()) {
            popup_->HidePopup();
        }
        return;
    }
    if (target == edit_ && button == Qt::LeftButton && !popup_->isVisible()) {
        popup_->PlaceUnderAnchor();
        Notify(SearchBoxEvent::SuggestRequested);
    }
}

void SearchBox::SetHovered(bool hovered) {
    if (hovered_ != hovered) {
        hovered_ = hovered;
        update();
        UpdateButtonImage();
    }
}

void SearchBox::LayOut() {
    edit_->setGeometry(SearchBoxLayout::EditRect(rect()));
    clear_->setGeometry(SearchBoxLayout::IconRect(rect()));
}

void SearchBox::UpdateButtonImage() {
    if (IsEditing()) {
        clear_->SetNormalImage(ClearButton::kEditing);
    } else {
        clear_->SetNormalImage(hovered_ ? ClearButton::kBoxHovered : ClearButton::kIdle);
    }
}

void SearchBox::Notify(uint32_t code) {
    emit searchEvent(SearchBoxEvent{.code = code, .text = Text()});
}

}  // namespace linesift
