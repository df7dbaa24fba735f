#include "views/tool_icons.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmapCache>

#include "views/palette_colors.h"

namespace linesift {
namespace {

enum class Shape { New, Open, Save, Follow };

// The shapes are drawn on a 24 x 24 grid, scaled to the target.
constexpr qreal kGrid = 24;

struct Inks {
    QColor line;    // outlines and strokes
    QColor fill;    // paper, folder and disk faces
    QColor accent;  // the folder's front, the disk's label, the arrow
};

Inks InksFor(QIcon::Mode mode) {
    const QPalette palette = QApplication::palette();
    const QPalette::ColorGroup group =
        mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active;
    const QColor line = palette.color(group, QPalette::WindowText);
    const QColor base = palette.color(group, QPalette::Base);
    QColor accent = palette.color(QPalette::Active, QPalette::Highlight);
    if (mode == QIcon::Disabled) {
        accent = Blend(accent, base, 0.6);
    }
    return Inks{.line = line, .fill = base, .accent = accent};
}

void DrawNew(QPainter& p, const Inks& ink) {
    QPainterPath page;
    page.moveTo(5.5, 2.5);
    page.lineTo(14.5, 2.5);
    page.lineTo(19.5, 7.5);
    page.lineTo(19.5, 21.5);
    page.lineTo(5.5, 21.5);
    page.closeSubpath();
    p.setPen(QPen(ink.line, 1.2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(ink.fill);
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(14.5, 2.5);
    fold.lineTo(14.5, 7.5);
    fold.lineTo(19.5, 7.5);
    p.setBrush(Qt::NoBrush);
    p.drawPath(fold);
    p.setPen(QPen(ink.accent, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.5, 11.5), QPointF(12.5, 18.5));
    p.drawLine(QPointF(9, 15), QPointF(16, 15));
}

void DrawOpen(QPainter& p, const Inks& ink) {
    QPainterPath back;
    back.moveTo(2.5, 19.5);
    back.lineTo(2.5, 4.5);
    back.lineTo(8.5, 4.5);
    back.lineTo(10.5, 6.5);
    back.lineTo(18.5, 6.5);
    back.lineTo(18.5, 9.5);
    p.setPen(QPen(ink.line, 1.2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(ink.fill);
    p.drawPath(back);
    QPainterPath front;
    front.moveTo(2.5, 19.5);
    front.lineTo(6.5, 10.5);
    front.lineTo(21.5, 10.5);
    front.lineTo(17.5, 19.5);
    front.closeSubpath();
    p.setBrush(ink.accent);
    p.drawPath(front);
}

void DrawSave(QPainter& p, const Inks& ink) {
    QPainterPath disk;
    disk.moveTo(3.5, 3.5);
    disk.lineTo(17.5, 3.5);
    disk.lineTo(20.5, 6.5);
    disk.lineTo(20.5, 20.5);
    disk.lineTo(3.5, 20.5);
    disk.closeSubpath();
    p.setPen(QPen(ink.line, 1.2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.setBrush(ink.fill);
    p.drawPath(disk);
    p.setBrush(ink.accent);
    p.drawRect(QRectF(6.5, 12.5, 11, 8));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(7.5, 3.5, 8, 5));
    p.fillRect(QRectF(12.5, 4.5, 2, 3), ink.line);
}

void DrawFollow(QPainter& p, const Inks& ink) {
    p.setPen(QPen(ink.accent, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(12, 3.5), QPointF(12, 15));
    QPainterPath head;
    head.moveTo(6.5, 10.5);
    head.lineTo(12, 16);
    head.lineTo(17.5, 10.5);
    p.drawPath(head);
    p.setPen(QPen(ink.line, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 20), QPointF(19.5, 20));
}

void DrawShape(QPainter& p, const QRectF& rect, Shape shape, QIcon::Mode mode) {
    const Inks ink = InksFor(mode);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal side = std::min(rect.width(), rect.height());
    p.translate(rect.center() - QPointF(side / 2, side / 2));
    p.scale(side / kGrid, side / kGrid);
    switch (shape) {
        case Shape::New:
            DrawNew(p, ink);
            break;
        case Shape::Open:
            DrawOpen(p, ink);
            break;
        case Shape::Save:
            DrawSave(p, ink);
            break;
        case Shape::Follow:
            DrawFollow(p, ink);
            break;
    }
    p.restore();
}

// Paints its shape afresh for every size asked for: a request for a
// pixmap of N device pixels gets one drawn at N pixels, never one scaled.
class ToolIconEngine : public QIconEngine {
  public:
    explicit ToolIconEngine(Shape shape) : shape_(shape) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State /*state*/) override {
        DrawShape(*painter, rect, shape_, mode);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // size is in device pixels; QIcon sets the pixmap's device pixel ratio.
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State /*state*/,
                         qreal /*scale*/) override {
        if (size.isEmpty()) {
            return QPixmap();
        }
        // The palette is part of the key: a theme change draws anew.
        const QString key = QStringLiteral("linesift-tool-%1-%2x%3-%4-%5")
                                .arg(static_cast<int>(shape_))
                                .arg(size.width())
                                .arg(size.height())
                                .arg(static_cast<int>(mode))
                                .arg(QApplication::palette().cacheKey());
        QPixmap image;
        if (!QPixmapCache::find(key, &image)) {
            image = QPixmap(size);
            image.fill(Qt::transparent);
            QPainter p(&image);
            DrawShape(p, QRectF(QPointF(0, 0), QSizeF(size)), shape_, mode);
            p.end();
            QPixmapCache::insert(key, image);
        }
        return image;
    }

    QSize actualSize(const QSize& size, QIcon::Mode /*mode*/, QIcon::State /*state*/) override {
        return size;
    }

    QIconEngine* clone() const override { return new ToolIconEngine(shape_); }

  private:
    Shape shape_;
};

}  // namespace

QIcon ToolIcon(std::string_view name) {
    Shape shape;
    if (name == "document-new") {
        shape = Shape::New;
    } else if (name == "document-open") {
        shape = Shape::Open;
    } else if (name == "document-save") {
        shape = Shape::Save;
    } else if (name == "go-bottom") {
        shape = Shape::Follow;
    } else {
        return QIcon();
    }
    return QIcon(new ToolIconEngine(shape));
}

}  // namespace linesift
