#pragma once

#include <cstdio>

#include "batch.h"

namespace linesift {

// Follows options.file: prints the lines the query shows, then each new
// line as it is appended, until SIGINT or SIGTERM arrives or the output is
// closed (exit status 0). A file that is renamed away and created anew is
// followed from the new file's start; one that shrinks (truncated in place)
// from its start again. A line is printed once its line break arrives; the
// last line of a file that is replaced or truncated is printed then. Exit
// status 2 when the file cannot be opened or is compressed, or when a write
// fails for another reason than a closed output.
// color: whether plain output marks highlights (resolved from auto).
int RunFollow(const BatchOptions& options, bool color, std::FILE* out, std::FILE* err);

}  // namespace linesift
