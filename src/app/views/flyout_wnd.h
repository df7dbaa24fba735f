#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

class QVariantAnimation;

namespace linesift {

// A popup that never takes the activation or the focus: a frameless window
// with a one-pixel border around one content widget. It rolls open from top
// to bottom and hides itself once the pointer has stayed outside it for five
// seconds without any other sign of use.
class VeFlyoutWndBase : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kTickMs = 1000;
    static constexpr int kHideAfterMs = 5000;
    static constexpr int kOpenMs = 200;

    // owner: the widget the popup belongs to; it is destroyed with it.
    explicit VeFlyoutWndBase(QWidget* owner);
    ~VeFlyoutWndBase() override;

    // The widget that fills the popup less its border; the popup owns it.
    void SetContent(QWidget* content);
    void SetBorderColor(const QColor& color);

    // Shows the popup without activating it, rolling it open, and starts the
    // auto-hide timer. Nothing happens while it is shown already.
    void ShowFlyout();
    // Hides the popup and stops the timer.
    void HideFlyout();
    // Restarts the five seconds: the user is working with the popup.
    void ResetTimeOutside() { time_outside_ms_ = 0; }
    int TimeOutsideMs() const { return time_outside_ms_; }
    // How long rolling open takes; 0 shows the popup whole at once.
    void SetOpenDuration(int ms) { open_ms_ = ms; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void OnTick();
    void OnRollStep(const QVariant& shownFraction);
    void StopRolling();

    QWidget* content_ = nullptr;
    QColor border_color_;
    QTimer auto_hide_{this};
    QVariantAnimation* roll_;
    int time_outside_ms_ = 0;
    int open_ms_ = kOpenMs;
};

}  // namespace linesift
