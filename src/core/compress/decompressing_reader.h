#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "compress/compression.h"

namespace linesift {

class StreamCodec;

// Why decompression stopped before the end of the text.
enum class DecompressError {
    None,
    Corrupt,    // invalid data; the text before it is kept
    Truncated,  // the compressed data ends inside a stream; the text before it is kept
    TooLarge,   // a stream asks for more memory than allowed
    ReadFailed,
    WriteFailed,
    Cancelled,
};

// Reads the text of a file descriptor whatever its compression: it looks at
// the first bytes, then decodes gzip, bzip2, xz or zstd, or passes anything
// else through unchanged. Concatenated members and streams decode as one text,
// as zcat does; NUL bytes between or after streams are padding and skipped.
// Works on pipes (it never seeks) in bounded memory. Not thread-safe.
class DecompressingReader {
  public:
    // fd is the caller's: it must stay open while this reader lives, and is
    // read from its current position. input_buffer_size > 0.
    explicit DecompressingReader(int fd, size_t input_buffer_size = size_t{1} << 20);
    ~DecompressingReader();
    DecompressingReader(const DecompressingReader&) = delete;
    DecompressingReader& operator=(const DecompressingReader&) = delete;

    // Fills up to capacity bytes of text into out and returns the count. 0
    // means the end: ErrorKind() then tells a complete text (None) from a
    // failure. Blocks on a pipe only while it has nothing to give.
    size_t Read(uint8_t* out, size_t capacity);

    // The format found in the first bytes; None until the first Read.
    Compression Format() const { return format_; }
    // Compressed bytes decoded so far (for None, the bytes passed through).
    uint64_t BytesConsumed() const { return bytes_read_ - (in_end_ - in_pos_); }
    uint64_t TextBytes() const { return text_bytes_; }
    DecompressError ErrorKind() const { return error_; }
    // A sentence for the user, such as "The gzip data is corrupt after
    // 12,345,678 bytes of text (invalid block type)."; empty when complete.
    const std::string& ErrorText() const { return error_text_; }

  private:
    bool Start();
    bool Refill();
    bool AfterStreamEnd();
    size_t Fail(DecompressError error, const std::string& detail);
    size_t PassThrough(uint8_t* out, size_t capacity);
    size_t Decode(uint8_t* out, size_t capacity);

    int fd_;
    bool input_is_regular_ = false;
    bool started_ = false;
    bool done_ = false;
    bool at_eof_ = false;
    std::vector<uint8_t> in_;
    size_t in_pos_ = 0;
    size_t in_end_ = 0;
    uint64_t bytes_read_ = 0;
    uint64_t text_bytes_ = 0;
    Compression format_ = Compression::None;
    std::unique_ptr<StreamCodec> codec_;
    DecompressError error_ = DecompressError::None;
    std::string error_text_;
};

// 12345678 as "12,345,678".
std::string GroupedNumber(uint64_t n);

}  // namespace linesift
