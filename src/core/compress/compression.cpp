#include "compress/compression.h"

#include <cstring>

namespace linesift {
namespace {

bool StartsWith(const uint8_t* head, size_t n, const uint8_t* magic, size_t magic_size) {
    return n >= magic_size && std::memcmp(head, magic, magic_size) == 0;
}

// "BZh1".."BZh9", then the 48-bit marker of a block (the digits of pi) or of
// the end of the stream (those of the square root of pi). Checking the marker
// keeps a text file that happens to begin with "BZh5" a text file.
bool IsBzip2(const uint8_t* head, size_t n) {
    static constexpr uint8_t kBlock[] = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
    static constexpr uint8_t kEnd[] = {0x17, 0x72, 0x45, 0x38, 0x50, 0x90};
    if (n < 4 || head[0] != 'B' || head[1] != 'Z' || head[2] != 'h' || head[3] < '1' ||
        head[3] > '9') {
        return false;
    }
    if (n < 10) {
        return true;
    }
    return std::memcmp(head + 4, kBlock, 6) == 0 || std::memcmp(head + 4, kEnd, 6) == 0;
}

// A skippable frame's magic is 50..5f 2a 4d 18; some zstd writers put one first.
bool IsZstdSkippable(const uint8_t* head, size_t n) {
    return n >= 4 && (head[0] & 0xf0) == 0x50 && head[1] == 0x2a && head[2] == 0x4d &&
           head[3] == 0x18;
}

}  // namespace

Compression DetectCompression(const uint8_t* head, size_t n) {
    static constexpr uint8_t kGzip[] = {0x1f, 0x8b, 0x08};
    static constexpr uint8_t kXz[] = {0xfd, '7', 'z', 'X', 'Z', 0x00};
    static constexpr uint8_t kZstd[] = {0x28, 0xb5, 0x2f, 0xfd};
    if (head == nullptr) {
        return Compression::None;
    }
    if (StartsWith(head, n, kGzip, sizeof kGzip)) {
        return Compression::Gzip;
    }
    if (IsBzip2(head, n)) {
        return Compression::Bzip2;
    }
    if (StartsWith(head, n, kXz, sizeof kXz)) {
        return Compression::Xz;
    }
    if (StartsWith(head, n, kZstd, sizeof kZstd) || IsZstdSkippable(head, n)) {
        return Compression::Zstd;
    }
    return Compression::None;
}

const char* CompressionName(Compression compression) {
    switch (compression) {
        case Compression::Gzip:
            return "gzip";
        case Compression::Bzip2:
            return "bzip2";
        case Compression::Xz:
            return "xz";
        case Compression::Zstd:
            return "zstd";
        case Compression::None:
            break;
    }
    return "none";
}

}  // namespace linesift
