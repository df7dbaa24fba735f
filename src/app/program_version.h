#pragma once

#include <string>

namespace linesift {

// The version as the About dialog and "linesift --version" show it:
// "Version 1.2.3  (Build 45)". Qt-free, so the batch-only program has it too.
std::string ProgramVersionText();

}  // namespace linesift
