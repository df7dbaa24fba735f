#include "views/color_button.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace linesift {
namespace {

ColorButton::Chooser& TestChooser() {
    static ColorButton::Chooser chooser;
    return chooser;
}

}  // namespace

ColorButton::ColorButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    connect(this, &QPushButton::clicked, this, &ColorButton::Choose);
    SetColor(Qt::black);
}

void ColorButton::SetColor(const QColor& color) {
    color_ = color;
    QPixmap swatch(iconSize());
    swatch.fill(color_.isValid() ? color_ : QColor(Qt::transparent));
    QPainter painter(&swatch);
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    setIcon(QIcon(swatch));
}

void ColorButton::SetChooserForTesting(Chooser chooser) {
    TestChooser() = std::move(chooser);
}

void ColorButton::Choose() {
    const QColor chosen = TestChooser() ? TestChooser()(color_, this)
                                        : QColorDialog::getColor(color_, this, text().remove('&'));
    if (chosen.isValid() && chosen != color_) {
        SetColor(chosen);
        emit colorChanged(chosen);
    }
}

}  // namespace linesift
