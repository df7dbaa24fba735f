#include "views/flyout_wnd.h"

#include <QCursor>
#include <QEvent>
#include <QPainter>
#include <QRegion>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace linesift {

namespace {

// A tooltip-type window is never activated by the window system (a tool
// window is, on some platforms, even with the hints below).
constexpr Qt::WindowFlags kFlyoutFlags =
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

VeFlyoutWndBase::VeFlyoutWndBase(QWidget* owner)
    : QWidget(owner, kFlyoutFlags), border_color_(Qt::gray), roll_(new QVariantAnimation(this)) {
    setObjectName(QStringLiteral("VeFlyoutWndBase"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    setMouseTracking(true);
    auto_hide_.setObjectName(QStringLiteral("autoHide"));
    auto_hide_.setInterval(kTickMs);
    connect(&auto_hide_, &QTimer::timeout, this, &VeFlyoutWndBase::OnTick);
    roll_->setStartValue(0.0);
    roll_->setEndValue(1.0);
    connect(roll_, &QVariantAnimation::valueChanged, this, &VeFlyoutWndBase::OnRollStep);
    connect(roll_, &QVariantAnimation::finished, this, &VeFlyoutWndBase::StopRolling);
    hide();
}

VeFlyoutWndBase::~VeFlyoutWndBase() = default;

void VeFlyoutWndBase::SetContent(QWidget* content) {
    content_ = content;
    content_->setParent(this);
    content_->setGeometry(rect().adjusted(1, 1, -1, -1));
    content_->installEventFilter(this);
    content_->show();
}

void VeFlyoutWndBase::SetBorderColor(const QColor& color) {
    border_color_ = color;
    update();
}

void VeFlyoutWndBase::ShowFlyout() {
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

void VeFlyoutWndBase::HideFlyout() {
    auto_hide_.stop();
    time_outside_ms_ = 0;
    StopRolling();
    hide();
}

void VeFlyoutWndBase::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setPen(border_color_);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void VeFlyoutWndBase::resizeEvent(QResizeEvent* /*event*/) {
    if (content_ != nullptr) {
        content_->setGeometry(rect().adjusted(1, 1, -1, -1));
    }
}

void VeFlyoutWndBase::mouseMoveEvent(QMouseEvent* /*event*/) {
    time_outside_ms_ = 0;
}

bool VeFlyoutWndBase::eventFilter(QObject* watched, QEvent* event) {
    if (watched == content_ && IsMouseActivity(event->type())) {
        time_outside_ms_ = 0;
    }
    return QWidget::eventFilter(watched, event);
}

void VeFlyoutWndBase::OnTick() {
    if (frameGeometry().contains(QCursor::pos())) {
        time_outside_ms_ = 0;
        return;
    }
    time_outside_ms_ += kTickMs;
    if (time_outside_ms_ >= kHideAfterMs) {
        HideFlyout();
    }
}

void VeFlyoutWndBase::OnRollStep(const QVariant& shownFraction) {
    const int shown = static_cast<int>(std::ceil(shownFraction.toDouble() * height()));
    setMask(QRegion(0, 0, width(), std::max(shown, 1)));
}

void VeFlyoutWndBase::StopRolling() {
    roll_->stop();
    clearMask();
}

}  // namespace linesift
