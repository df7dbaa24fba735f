#include "views/clear_button.h"

#include <QPainter>

#include "views/palette_colors.h"
#include "views/search_box_images.h"

namespace linesift {

ClearButton::ClearButton(QWidget* parent) : QAbstractButton(parent) {
    setObjectName(QStringLiteral("ClearButton"));
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::ArrowCursor);
}

void ClearButton::SetNormalImage(Image image) {
    if (normal_ != image) {
        normal_ = image;
        update();
    }
}

ClearButton::Image ClearButton::ShownImage() const {
    if (isDown()) {
        return kPushed;
    }
    return underMouse() ? kHot : normal_;
}

QSize ClearButton::sizeHint() const {
    return QSize(kSearchBoxImageSize, kSearchBoxImageSize);
}

void ClearButton::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.drawPixmap(0, 0,
                       ClearButtonImage(ShownImage(), devicePixelRatioF(), BoxColorsOf(palette())));
}

}  // namespace linesift
