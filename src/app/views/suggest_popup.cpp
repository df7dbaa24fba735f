#include "views/suggest_popup.h"

#include <QCursor>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QRegion>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

#include "qt_text.h"
#include "settings/app_settings.h"
#include "views/palette_colors.h"
#include "views/search_box_colors.h"

namespace linesift {

namespace {

constexpr int kPlacedHeight = 10;

// A tooltip-type window is never activated by the window system (a tool
// window is, on some platforms, even with the hints below).
constexpr Qt::WindowFlags kPopupFlags =
    Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus;

bool IsMouseActivity(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::Enter:
            return true;
        default:
            return false;
    }
}

}  // namespace

SuggestPopup::SuggestPopup(QWidget& anchor, QLineEdit& edit)
    : QWidget(&anchor, kPopupFlags),
      anchor_(anchor),
      edit_(edit),
      list_(new FlatList(this)),
      roll_(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("SuggestPopup"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    auto_hide_.setObjectName(QStringLiteral("autoHide"));
    auto_hide_.setInterval(kTickMs);
    connect(&auto_hide_, &QTimer::timeout, this, &SuggestPopup::OnTick);
    roll_->setStartValue(0.0);
    roll_->setEndValue(1.0);
    connect(roll_, &QVariantAnimation::valueChanged, this, &SuggestPopup::OnRollStep);
    connect(roll_, &QVariantAnimation::finished, this, &SuggestPopup::StopRolling);
    list_->setGeometry(rect().adjusted(1, 1, -1, -1));
    list_->installEventFilter(this);
    list_->show();
    hide();
    connect(list_, &FlatList::selectionChanged, this, &SuggestPopup::OnItemSelected);
    const AppSettings& settings = AppSettings::Instance();
    history_.Assign(settings.mru_queries, settings.all_queries);
}

SuggestPopup::~SuggestPopup() {
    disconnect(list_, nullptr, this, nullptr);
    StoreHistory();
}

void SuggestPopup::OnSearchBoxEvent(const SearchBoxEvent& event) {
    switch (event.code) {
        case SearchBoxEvent::TextChanged:
        case SearchBoxEvent::SuggestRequested:
            ShowSuggestions(event.text);
            break;
        case SearchBoxEvent::Committed:
            if (!event.text.empty()) {
                history_.Record(event.text);
                StoreHistory();
            }
            HidePopup();
            break;
        default:
            break;
    }
}

void SuggestPopup::OnItemSelected(int index) {
    if (index < 0) {
        return;
    }
    PutInEdit(list_->Item(index).text);
    HidePopup();
}

void SuggestPopup::PlaceUnderAnchor() {
    const QRect box(anchor_.mapToGlobal(QPoint(0, 0)), anchor_.size());
    setGeometry(box.left(), box.bottom(), box.width(), kPlacedHeight);
}

bool SuggestPopup::HandleKey(const QKeyEvent& key) {
    if (!isVisible()) {
        if (key.key() == Qt::Key_Delete && edit_.text().isEmpty()) {
            ShowLastItems();
        }
        return false;
    }
    switch (key.key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
            list_->MoveHot(key.key() == Qt::Key_Down);
            ResetTimeOutside();
            return true;
        case Qt::Key_Left:
        case Qt::Key_Right:
            list_->SetHot(-1);
            ResetTimeOutside();
            return false;
        case Qt::Key_Escape:
            HidePopup();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter: {
            const int hot = list_->HotIndex();
            HidePopup();
            if (hot < 0) {
                return false;
            }
            PutInEdit(list_->Item(hot).text);
            return true;
        }
        default:
            return false;
    }
}

void SuggestPopup::ClearHistory() {
    history_.Clear();
    StoreHistory();
    list_->SetItems({});
    HidePopup();
}

void SuggestPopup::ShowSuggestions(std::u16string_view text) {
    std::vector<std::u16string> suggestions = history_.Suggest(text);
    if (suggestions.empty()) {
        HidePopup();
        return;
    }
    list_->SetItems(suggestions);
    if (!isVisible()) {
        PlaceUnderAnchor();
    }
    FitToItems();
    ResetTimeOutside();
    if (!isVisible() && AppSettings::Instance().auto_suggest) {
        ShowPopup();
    }
}

void SuggestPopup::ShowLastItems() {
    if (list_->Count() == 0 || !AppSettings::Instance().auto_suggest) {
        return;
    }
    list_->ClearMarks();
    PlaceUnderAnchor();
    FitToItems();
    ShowPopup();
}

void SuggestPopup::FitToItems() {
    resize(width(), list_->Count() * FlatList::kItemHeight + 2);
}

void SuggestPopup::PutInEdit(const std::u16string& text) {
    const QString copy = ToQString(text);  // the edit's change may replace the items
    edit_.setText(copy);
    edit_.end(false);
}

void SuggestPopup::ShowPopup() {
    if (isVisible()) {
        return;
    }
    time_outside_ms_ = 0;
    if (open_ms_ > 0) {
        setMask(QRegion(0, 0, width(), 1));
        roll_->setDuration(open_ms_);
        roll_->start();
    }
    show();
    auto_hide_.start();
}

void SuggestPopup::HidePopup() {
    auto_hide_.stop();
    time_outside_ms_ = 0;
    StopRolling();
    hide();
}

void SuggestPopup::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(BoxColorsOf(palette()).popup_border);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void SuggestPopup::resizeEvent(QResizeEvent* /*event*/) {
    list_->setGeometry(rect().adjusted(1, 1, -1, -1));
}

void SuggestPopup::mouseMoveEvent(QMouseEvent* /*event*/) {
    time_outside_ms_ = 0;
}

bool SuggestPopup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && IsMouseActivity(event->type())) {
        time_outside_ms_ = 0;
    }
    return QWidget::eventFilter(watched, event);
}

void SuggestPopup::OnTick() {
    if (frameGeometry().contains(QCursor::pos())) {
        time_outside_ms_ = 0;
        return;
    }
    time_outside_ms_ += kTickMs;
    if (time_outside_ms_ >= kHideAfterMs) {
        HidePopup();
    }
}

void SuggestPopup::OnRollStep(const QVariant& shownFraction) {
    const int shown = static_cast<int>(std::ceil(shownFraction.toDouble() * height()));
    setMask(QRegion(0, 0, width(), std::max(shown, 1)));
}

void SuggestPopup::StopRolling() {
    roll_->stop();
    clearMask();
}

void SuggestPopup::StoreHistory() const {
    AppSettings& settings = AppSettings::Instance();
    settings.mru_queries = history_.Recent();
    settings.all_queries = history_.All();
}

}  // namespace linesift
