#include "views/search_box_images.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <algorithm>
#include <initializer_list>

namespace linesift {

namespace {

constexpr int kSize = kSearchBoxImageSize;

QPixmap BlankImage(qreal dpr) {
    QPixmap image(QSize(kSize, kSize) * dpr);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::transparent);
    return image;
}

void DrawShadedSquare(QPainter& p, const QColor& top, const QColor& bottom, const QColor& border) {
    QLinearGradient fill(0, 0, 0, kSize);
    fill.setColorAt(0, top);
    fill.setColorAt(1, bottom);
    QPainterPath square;
    square.addRoundedRect(QRectF(0.5, 0.5, kSize - 1, kSize - 1), 2.5, 2.5);
    p.setPen(QPen(border, 1));
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

QPixmap DrawClearButtonImage(int index, qreal dpr, const BoxColors& colors) {
    QPixmap image = BlankImage(dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 0:
            p.fillRect(QRectF(0, 0, kSize, kSize), colors.idle);
            break;
        case 1:
            p.fillRect(QRectF(0, 0, kSize, kSize), colors.hover);
            break;
        case 2:
            p.fillRect(QRectF(0, 0, kSize, kSize), colors.editing);
            break;
        case 3:
            DrawShadedSquare(p, colors.pushed_top, colors.pushed_bottom, colors.popup_border);
            break;
        default:
            DrawShadedSquare(p, colors.hot_top, colors.hot_bottom, colors.popup_border);
            break;
    }
    DrawCross(p, index == 3 ? colors.cross_pushed : colors.cross);
    return image;
}

QPixmap DrawMagnifier(qreal dpr, const QColor& ink) {
    QPixmap image = BlankImage(dpr);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ink, 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(8.0, 8.0), 4.6, 4.6);
    p.setPen(QPen(ink, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.6, 11.6), QPointF(15.0, 15.0));
    return image;
}

// Distinguishes images of the same kind drawn in different colours.
QString ColorKey(std::initializer_list<QColor> colors) {
    QString key;
    for (const QColor& c : colors) {
        key += QString::number(c.rgba(), 16) + QLatin1Char('-');
    }
    return key;
}

}  // namespace

QPixmap ClearButtonImage(int index, qreal devicePixelRatio, const BoxColors& colors) {
    const int i = std::clamp(index, 0, kClearButtonImageCount - 1);
    const QString key = QStringLiteral("linesift-clear-%1-%2-").arg(i).arg(devicePixelRatio) +
                        ColorKey({colors.idle, colors.hover, colors.editing, colors.pushed_top,
                                  colors.pushed_bottom, colors.hot_top, colors.hot_bottom,
                                  colors.popup_border, colors.cross, colors.cross_pushed});
    QPixmap image;
    if (!QPixmapCache::find(key, &image)) {
        image = DrawClearButtonImage(i, devicePixelRatio, colors);
        QPixmapCache::insert(key, image);
    }
    return image;
}

QPixmap MagnifierImage(qreal devicePixelRatio, const BoxColors& colors) {
    const QString key = QStringLiteral("linesift-magnifier-%1-").arg(devicePixelRatio) +
                        ColorKey({colors.magnifier});
    QPixmap image;
    if (!QPixmapCache::find(key, &image)) {
        image = DrawMagnifier(devicePixelRatio, colors.magnifier);
        QPixmapCache::insert(key, image);
    }
    return image;
}

}  // namespace linesift
