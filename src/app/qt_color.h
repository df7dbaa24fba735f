#pragma once

#include <cstdint>

#include "settings/app_settings.h"

namespace linesift {

// A stored colour as the line list takes it: 0xRRGGBB, alpha dropped.
constexpr uint32_t ToRgb(Color32 color) {
    return uint32_t{color.red} << 16 | uint32_t{color.green} << 8 | color.blue;
}

}  // namespace linesift
