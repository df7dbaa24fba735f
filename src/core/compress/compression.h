#pragma once

#include <cstddef>
#include <cstdint>

namespace linesift {

// The container formats whose files open as the text inside them.
enum class Compression { None, Gzip, Bzip2, Xz, Zstd };

// How many leading bytes DetectCompression looks at; fewer are enough for a
// short file, but a caller reading a file should offer this many.
inline constexpr size_t kCompressionHeadSize = 10;

// Recognises a compressed file by its first n bytes (head may be null when n
// is 0), never by its name. Gzip: 1f 8b 08; bzip2: "BZh" and a block size
// '1'..'9' followed, when present, by a block or end-of-stream marker; xz:
// fd "7zXZ" 00; zstd: a frame (28 b5 2f fd) or a skippable frame. Anything
// else, including a head too short to tell, is None.
Compression DetectCompression(const uint8_t* head, size_t n);

// The usual lower-case name of the format ("gzip", "bzip2", "xz", "zstd"),
// "none" for None; for messages.
const char* CompressionName(Compression compression);

}  // namespace linesift
