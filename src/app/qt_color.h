#pragma once

#include <QColor>
#include <cstdint>

#include "settings/app_settings.h"

namespace linesift {

// A stored colour as the line list takes it: 0xRRGGBB, alpha dropped.
constexpr uint32_t ToRgb(Color32 color) {
    return uint32_t{color.red} << 16 | uint32_t{color.green} << 8 | color.blue;
}

// A stored colour as Qt draws it, opaque.
inline QColor ToQColor(Color32 color) {
    return QColor(color.red, color.green, color.blue);
}

// A colour to store: its red, green and blue, opaque.
inline Color32 ToColor32(const QColor& color) {
    return Color32{.blue = static_cast<uint8_t>(color.blue()),
                   .green = static_cast<uint8_t>(color.green()),
                   .red = static_cast<uint8_t>(color.red())};
}

}  // namespace linesift
