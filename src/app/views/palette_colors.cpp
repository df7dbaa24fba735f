#include "views/palette_colors.h"

#include <QStyle>
#include <QStyleFactory>
#include <algorithm>
#include <memory>
#include <utility>

namespace linesift {
namespace {

// The default highlight colour, and what it becomes on a dark palette.
constexpr QRgb kDefaultHighlight = qRgb(0xFE, 0xE3, 0x00);
constexpr QRgb kDarkHighlight = qRgb(0xC8, 0x8A, 0x00);

double Luminance(const QColor& c) {
    return 0.2126 * c.redF() + 0.7152 * c.greenF() + 0.0722 * c.blueF();
}

}  // namespace

bool IsDarkPalette(const QPalette& palette) {
    return Luminance(palette.color(QPalette::Base)) < Luminance(palette.color(QPalette::Text));
}

QColor Blend(const QColor& a, const QColor& b, double t) {
    auto mix = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

RowColors RowColorsOf(const QPalette& palette) {
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    return RowColors{.background = base,
                     .text = text,
                     .selected = Blend(base, text, IsDarkPalette(palette) ? 0.18 : 0.1),
                     .separator = Blend(base, text, IsDarkPalette(palette) ? 0.1 : 0.06),
                     .focus_frame = text,
                     .context_text = Blend(text, base, 0.5),
                     .group_separator = Blend(text, base, 0.63)};
}

BoxColors BoxColorsOf(const QPalette& palette) {
    if (!IsDarkPalette(palette)) {
        return BoxColors{};
    }
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const QColor accent = palette.color(QPalette::Highlight);
    return BoxColors{.frame = Blend(base, text, 0.35),
                     .editing = base,
                     .hover = Blend(base, accent, 0.12),
                     .idle = Blend(base, accent, 0.2),
                     .invalid = QColor(110, 36, 36),
                     .idle_text = Blend(text, base, 0.2),
                     .edit_text = text,
                     .suggestion_text = text,
                     .suggestion_hot = Blend(base, accent, 0.35),
                     .suggestion = base,
                     .popup_border = Blend(base, text, 0.4),
                     .cross = Blend(accent, text, 0.45),
                     .cross_pushed = Blend(accent, text, 0.7),
                     .pushed_top = Blend(base, accent, 0.45),
                     .pushed_bottom = Blend(base, accent, 0.35),
                     .hot_top = Blend(base, accent, 0.3),
                     .hot_bottom = Blend(base, accent, 0.22),
                     .magnifier = Blend(text, base, 0.3)};
}

QRgb HighlightFor(QRgb chosen, const QPalette& palette) {
    const bool isDefault = (chosen & 0xFFFFFF) == (kDefaultHighlight & 0xFFFFFF);
    return isDefault && IsDarkPalette(palette) ? kDarkHighlight : chosen;
}

QColor InvalidFieldColor(const QPalette& palette) {
    return IsDarkPalette(palette) ? QColor(110, 36, 36) : QColor(255, 220, 220);
}

QString PageInPalette(const QString& html, const QPalette& palette) {
    if (!IsDarkPalette(palette)) {
        return html;
    }
    const QColor base = palette.color(QPalette::Base);
    const QColor text = palette.color(QPalette::Text);
    const std::pair<QLatin1String, QColor> colors[] = {
        {QLatin1String("#000000"), text},
        {QLatin1String("#FFFFFF"), base},
        {QLatin1String("#F4F4F4"), Blend(base, text, 0.06)},
        {QLatin1String("#C0C0C0"), Blend(base, text, 0.3)},
    };
    QString page = html;
    for (const auto& [light, dark] : colors) {
        page.replace(light, dark.name(), Qt::CaseInsensitive);
    }
    return page;
}

QPalette LightPalette() {
    static const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    return fusion != nullptr ? fusion->standardPalette() : QPalette(QColor(239, 239, 239));
}

QPalette DarkPalette() {
    const QColor window(45, 45, 48);
    const QColor base(30, 30, 32);
    const QColor text(224, 224, 224);
    const QColor disabled(128, 128, 128);
    QPalette p(window);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, QColor(40, 40, 43));
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(53, 53, 56));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 80, 80));
    p.setColor(QPalette::Light, QColor(80, 80, 84));
    p.setColor(QPalette::Midlight, QColor(66, 66, 70));
    p.setColor(QPalette::Mid, QColor(40, 40, 42));
    p.setColor(QPalette::Dark, QColor(22, 22, 24));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, QColor(42, 110, 190));
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(QPalette::ToolTipBase, QColor(60, 60, 64));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    p.setColor(QPalette::Link, QColor(110, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(190, 140, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        p.setColor(QPalette::Disabled, role, disabled);
    }
    return p;
}

}  // namespace linesift
