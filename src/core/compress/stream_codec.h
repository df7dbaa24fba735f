#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "compress/compression.h"

namespace linesift {

// Decodes one compressed stream at a time (a gzip member, a bzip2 or xz
// stream, a zstd frame) with one of the system's libraries. Internal to the
// compress folder: DecompressingReader strings streams together.
class StreamCodec {
  public:
    enum class Step {
        Progress,   // consumed or produced something, or needs more input or output room
        StreamEnd,  // the stream is complete and its check passed; Restart for the next
        Corrupt,    // the data is invalid; Detail() says how
        TooLarge,   // the stream needs more memory than the limit; Detail() says how much
    };

    // Input and output windows; Decode moves in and out past what it used.
    struct Buffers {
        const uint8_t* in = nullptr;
        size_t in_size = 0;
        uint8_t* out = nullptr;
        size_t out_size = 0;
    };

    // The most memory a stream may ask for (an xz dictionary, a zstd window).
    static constexpr uint64_t kMemoryLimit = uint64_t{1} << 30;

    // A codec for compression, or null for None or when the library cannot
    // start (out of memory).
    static std::unique_ptr<StreamCodec> Create(Compression compression);

    virtual ~StreamCodec() = default;
    virtual Step Decode(Buffers& buffers) = 0;
    // Prepares for a new stream after StreamEnd; false when the library fails.
    virtual bool Restart() = 0;
    // The library's words for the last Corrupt or TooLarge; may be empty.
    const std::string& Detail() const { return detail_; }

  protected:
    std::string detail_;
};

}  // namespace linesift
