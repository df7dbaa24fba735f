#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "compress/compression.h"
#include "compress/decompressing_reader.h"
#include "compress/owned_fd.h"

namespace linesift {

// How far a decompression has come; passed after each chunk of text.
struct DecompressProgress {
    uint64_t compressed_read = 0;   // compressed bytes decoded so far
    uint64_t compressed_total = 0;  // the compressed file's size; 0 when unknown (a pipe)
    uint64_t text_written = 0;      // bytes of text in the file so far
    // The unnamed file being written; its first text_written bytes may be
    // read with pread(2) or mapped now. Borrowed: do not close it.
    int text_fd = -1;
};

struct DecompressOptions {
    // Where the unnamed file goes; empty means GetCacheFolder().
    std::string folder;
    // Checked between chunks; when it becomes true the work stops and the
    // file is discarded. Not owned; may be null.
    const std::atomic<bool>* cancel = nullptr;
    // Called on the decompressing thread after each chunk is written; may be empty.
    std::function<void(const DecompressProgress&)> on_progress;
    // The size of the reads and of the writes; memory use is about three
    // times this (a chunk is written on a thread of its own while the next
    // one is decoded).
    size_t chunk_size = size_t{1} << 20;
};

struct DecompressResult {
    // The unnamed file holding the text. Valid, with the readable part, also
    // after a corrupt or truncated archive, a read or a write error, so a
    // caller can offer that part. Invalid after cancellation or when no file
    // could be made.
    OwnedFd text;
    uint64_t text_size = 0;
    Compression format = Compression::None;
    DecompressError error = DecompressError::None;
    std::string error_text;  // a sentence for the user; empty when complete

    bool IsComplete() const { return error == DecompressError::None; }
};

// Writes the text of compressed_fd (read from its current position to its
// end; not closed) into a new unnamed file in the user's cache folder, in
// memory bounded by the options' chunk size whatever the text's size.
// Compressed data in any format DetectCompression knows is decoded as
// DecompressingReader does; anything else is copied unchanged. Blocks until
// done: run it on a worker thread.
DecompressResult DecompressToCacheFile(int compressed_fd, const DecompressOptions& options = {});

}  // namespace linesift
