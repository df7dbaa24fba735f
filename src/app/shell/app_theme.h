#pragma once

#include <QObject>
#include <QPalette>
#include <optional>

namespace linesift {

// The application's palette under View > Theme: the desktop's own (System),
// or the program's light or dark one. Palette changes the program did not
// make are the desktop's: they are remembered for System, and undone again
// while Light or Dark is in force. Under System with no palette set by the
// desktop, the application follows its platform theme as that changes.
class AppTheme : public QObject {
    Q_OBJECT
  public:
    // The one instance, a child of the running application.
    static AppTheme& Instance();

    // Gives the application the palette of theme: 0 the desktop's, 1 light,
    // 2 dark.
    void Apply(int theme);
    int Theme() const { return theme_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit AppTheme(QObject* application);
    void SetApplicationPalette(const QPalette& palette);
    void OnDesktopPaletteChange();

    int theme_ = 0;
    bool applying_ = false;  // inside our own QApplication::setPalette
    bool reapply_pending_ = false;
    QPalette applied_;  // what the application had after our last change
    // The palette the desktop set on the application; none when it comes
    // from the platform theme, which Qt keeps current by itself.
    std::optional<QPalette> desktop_;
};

}  // namespace linesift
