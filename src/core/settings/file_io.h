#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linesift {

// Reads a whole regular file of at most limit bytes into bytes. False for a
// missing or unreadable file, a file that is not regular (a FIFO would block)
// or one larger than limit.
bool ReadWholeFile(const std::string& path, size_t limit, std::string& bytes);

// Replaces the file at path with bytes: they go to a temporary file in the
// same folder, which is flushed to disk and renamed over the target only when
// complete. A symbolic link at path is followed, so the link stays. An
// existing file's permissions are kept. False (and the earlier file untouched)
// on any failure.
bool WriteFileReplacing(const std::string& path, std::string_view bytes);

}  // namespace linesift
