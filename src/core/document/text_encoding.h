#pragma once

#include <cstdint>

namespace linesift {

// How a text file's bytes encode its characters. Any other value behaves
// like Ansi for reading and writing.
enum TextEncoding : int32_t {
    Detect = -1,  // not yet known: the first read detects it
    Ansi = 0,     // the legacy code page, no byte order mark
    Utf16Le = 1,  // byte order mark FF FE
    Utf16Be = 2,  // byte order mark FE FF
    Utf8 = 3,     // no byte order mark
    Utf8Bom = 4,  // byte order mark EF BB BF
};

inline bool IsUtf16(int32_t e) {
    return e == Utf16Le || e == Utf16Be;
}
inline bool IsUtf8Encoding(int32_t e) {
    return e == Utf8 || e == Utf8Bom;
}

}  // namespace linesift
