#pragma once

#include <string>

#include "compress/owned_fd.h"

namespace linesift {

// The per-user folder for text made from compressed files:
// $XDG_CACHE_HOME/Quellora/Linesift (an absolute XDG_CACHE_HOME only, as the
// XDG rules require), else ~/.cache/Quellora/Linesift. Empty when no home
// folder is known. Computed anew on each call; nothing is created.
std::string GetCacheFolder();

// Creates folder, and any missing parents, with mode 0700.
// False, with a sentence for the user in *error, when it cannot.
bool EnsurePrivateFolder(const std::string& folder, std::string* error);

// A new, empty file in folder that has no name, open for reading and writing:
// it vanishes when its last descriptor closes, even after a crash.
// O_TMPFILE where the file system supports it, else mkstemp and an unlink at
// once. The folder is created as EnsurePrivateFolder does. An invalid
// descriptor, with a sentence in *error, when it cannot be made.
OwnedFd CreateUnnamedFile(const std::string& folder, std::string* error);

}  // namespace linesift
