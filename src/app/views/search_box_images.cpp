#include "views/search_box_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>

#include "views/search_box_colors.h"

namespace linesift {

namespace {

constexpr int kSize = kSearchBoxImageSize;

QPixmap BlankImage(qreal dpr) {
    QPixmap image(QSize(kSize, kSize) * dpr);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

void DrawShadedSquare(QPainter& p, const QColor& top, const QColor& bottom) {
    QLinearGradient fill(0, 0, 0, kSize);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath square;
    square.addRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 2.5, 2.5);
    p.setPen(QPen(kPopupBorderColor, 1));
    p.setBrush(fill);
    p.drawPath(square);
}

void DrawCross(QPainter& p, const QColor& color) {
    QPen pen(color, 1.75, Qt::SolidLine, Qt::RoundCap);
    p.setPen(pen);
    constexpr qreal lo = 6.5;
    constexpr qreal hi = kSize - 6.5;
    p.drawLine(QPointF(lo, lo), QPointF(hi, hi));
    p.drawLine(QPointF(lo, hi), QPointF(hi, lo));
}

QPixmap DrawClearButtonImage(int index, qreal dpr) {
    QPixmap image = BlankImage(dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
            p.fillRect(QRectF(0, 0, kSize, kSize), kBoxIdleColor);
            break;
        case 1:
            p.fillRect(QRectF(0, 0, kSize, kSize), kBoxHoverColor);
            break;
        case 2:
            p.fillRect(QRectF(0, 0, kSize, kSize), kBoxEditingColor);
            break;
        case 3:
            DrawShadedSquare(p, QColor(190, 202, 226), QColor(212, 221, 238));
            break;
        default:
            DrawShadedSquare(p, QColor(250, 251, 254), QColor(222, 229, 243));
            break;
    }
    DrawCross(p, index == 3 ? QColor(24, 62, 140) : QColor(46, 92, 176));
    return image;
}

QPixmap DrawMagnifier(qreal dpr) {
    QPixmap image = BlankImage(dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink(104, 116, 140);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8.0, 8.0), 4.6, 4.6);
    p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.6, 11.6), QPointF(15.0, 15.0));
    return image;
}

}  // namespace

QPixmap ClearButtonImage(int index, qreal devicePixelRatio) {
    const int i = std::clamp(index, 0, kClearButtonImageCount - 1);
    const QString key = QStringLiteral("linesift-clear-%1-%2").arg(i).arg(devicePixelRatio);
    QPixmap image;
    if (!QPixmapCache::find(key, &image)) {
        image = DrawClearButtonImage(i, devicePixelRatio);
        QPixmapCache::insert(key, image);
    }
    return image;
}

QPixmap MagnifierImage(qreal devicePixelRatio) {
    const QString key = QStringLiteral("linesift-magnifier-%1").arg(devicePixelRatio);
    QPixmap image;
    if (!QPixmapCache::find(key, &image)) {
        image = DrawMagnifier(devicePixelRatio);
        QPixmapCache::insert(key, image);
    }
    return image;
}

}  // namespace linesift
