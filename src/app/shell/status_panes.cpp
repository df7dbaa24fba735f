#include "shell/status_panes.h"

#include <QFontMetrics>
#include <QMouseEvent>

namespace linesift {

StatusPanes::StatusPanes(QWidget* parent) : QStatusBar(parent), message_(new QLabel(this)) {
    setSizeGripEnabled(true);
    message_->setText(QStringLiteral("Ready"));
    message_->setTextFormat(Qt::PlainText);
    // A long message is cut off at the pane's edge; it never widens the window.
    message_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    addWidget(message_, 1);
    all_ = AddPane(QStringLiteral("All   9999999"));
    filtered_ = AddPane(QStringLiteral("Fil   9999999"));
    selected_ = AddPane(QStringLiteral("Sel   9999999"));
    encoding_ = AddPane(QStringLiteral("UTF-16LE BOM"));
    encoding_->setToolTip(
        QStringLiteral("The encoding the document is read in; click to change it"));
    encoding_->installEventFilter(this);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this,
            [this] { SetMessage(idle_text_.isEmpty() ? QStringLiteral("Ready") : idle_text_); });
}

QLabel* StatusPanes::AddPane(const QString& widest) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    label->setMinimumWidth(QFontMetrics(label->font()).horizontalAdvance(widest) + 8);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    addPermanentWidget(label);
    return label;
}

void StatusPanes::SetMessage(const QString& text) {
    timer_.stop();
    if (message_->text() != text) {
        message_->setText(text);
        message_->setToolTip(text);  // the whole of a message the pane cuts off
    }
}

void StatusPanes::ShowTimed(const QString& text, int ms) {
    SetMessage(text);
    timer_.start(std::max(ms, 10));
}

void StatusPanes::SetIdleText(const QString& text) {
    idle_text_ = text;
}

void StatusPanes::ShowNow(const QString& text) {
    SetMessage(text);
    message_->repaint();
}

void StatusPanes::SetCounts(bool hasLines, int64_t all, int64_t filtered, int64_t selected) {
    auto set = [](QLabel* label, const QString& text) {
        if (label->text() != text) {
            label->setText(text);
        }
    };
    set(all_, hasLines ? QStringLiteral("All  %1").arg(all) : QString());
    set(filtered_, hasLines ? QStringLiteral("Fil  %1").arg(filtered) : QString());
    set(selected_, hasLines ? QStringLiteral("Sel  %1").arg(selected) : QString());
}

void StatusPanes::SetEncoding(const QString& text) {
    if (encoding_->text() != text) {
        encoding_->setText(text);
    }
}

QRect StatusPanes::EncodingPaneRect() const {
    return encoding_->geometry();
}

bool StatusPanes::eventFilter(QObject* watched, QEvent* event) {
    if (watched == encoding_ && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // The menu opens above the pane, as the bar sits at the window's bottom.
        emit encodingClicked(encoding_->mapToGlobal(QPoint(0, 0)));
        return true;
    }
    return QStatusBar::eventFilter(watched, event);
}

QString StatusPanes::PaneText(int pane) const {
    switch (pane) {
        case 0:
            return message_->text();
        case 1:
            return all_->text();
        case 2:
            return filtered_->text();
        case 3:
            return selected_->text();
        case 4:
            return encoding_->text();
        default:
            return QString();
    }
}

}  // namespace linesift
