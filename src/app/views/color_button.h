#pragma once

#include <QColor>
#include <QPushButton>
#include <functional>

namespace linesift {

// A push button that shows a colour swatch beside its text; clicking it lets
// the user pick another colour (QColorDialog) and emits colorChanged.
class ColorButton : public QPushButton {
    Q_OBJECT
  public:
    // Picks a colour starting from initial; an invalid colour when cancelled.
    using Chooser = std::function<QColor(const QColor& initial, QWidget* parent)>;

    ColorButton(const QString& text, QWidget* parent);

    QColor Color() const { return color_; }
    void SetColor(const QColor& color);

    // Replaces the colour dialog for every button (tests answer without one);
    // an empty chooser restores the dialog.
    static void SetChooserForTesting(Chooser chooser);

  signals:
    void colorChanged(const QColor& color);

  private:
    void Choose();

    QColor color_;
};

}  // namespace linesift
