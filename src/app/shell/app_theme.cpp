#include "shell/app_theme.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <algorithm>

#include "views/palette_colors.h"

namespace linesift {

AppTheme& AppTheme::Instance() {
    static QPointer<AppTheme> instance;
    if (instance == nullptr) {
        instance = new AppTheme(QCoreApplication::instance());
    }
    return *instance;
}

AppTheme::AppTheme(QObject* application) : QObject(application) {
    // A palette set before the first window is the desktop's.
    const QPalette now = QApplication::palette();
    if (now.resolveMask() != 0) {
        desktop_ = now;
    }
    application->installEventFilter(this);
}

void AppTheme::Apply(int theme) {
    theme_ = std::clamp(theme, 0, 2);
    if (theme_ == 1) {
        SetApplicationPalette(LightPalette());
    } else if (theme_ == 2) {
        SetApplicationPalette(DarkPalette());
    } else {
        // An empty palette resolves against the platform theme's current one
        // and keeps following it.
        SetApplicationPalette(desktop_.value_or(QPalette()));
    }
}

void AppTheme::SetApplicationPalette(const QPalette& palette) {
    const bool was = applying_;
    applying_ = true;
    QApplication::setPalette(palette);
    applying_ = was;
    applied_ = QApplication::palette();
}

bool AppTheme::eventFilter(QObject* watched, QEvent* event) {
    if (watched == QCoreApplication::instance() &&
        event->type() == QEvent::ApplicationPaletteChange && !applying_) {
        OnDesktopPaletteChange();
    }
    return QObject::eventFilter(watched, event);
}

void AppTheme::OnDesktopPaletteChange() {
    const QPalette now = QApplication::palette();
    if (now == applied_ && now.resolveMask() == applied_.resolveMask()) {
        return;  // a palette for one class of widgets only
    }
    if (now.resolveMask() != 0) {
        desktop_ = now;
    } else {
        desktop_.reset();
    }
    if (theme_ == 0 || reapply_pending_) {
        return;
    }
    // The chosen theme wins again, once the change has reached every widget.
    reapply_pending_ = true;
    QTimer::singleShot(0, this, [this] {
        reapply_pending_ = false;
        Apply(theme_);
    });
}

}  // namespace linesift
