#include "program_version.h"

#include <cstdio>

#include "linesift_version.h"

namespace linesift {

std::string ProgramVersionText() {
    char text[64];
    std::snprintf(text, sizeof text, "Version %d.%d.%d  (Build %d)", LINESIFT_VERSION_MAJOR,
                  LINESIFT_VERSION_MINOR, LINESIFT_VERSION_PATCH, LINESIFT_BUILD_NUMBER);
    return text;
}

}  // namespace linesift
