#pragma once

#include <string>
#include <string_view>

namespace linesift {

// Paths as the system's file functions take them: bytes, usually UTF-8 but
// not always. Inside the program a path is UTF-16; a byte that is not part of
// valid UTF-8 travels as the lone surrogate U+DC80..U+DCFF (0x80..0xFF), so
// that any byte string the system gives comes back exactly.

// The UTF-16 form of the system's path bytes; reversed by ToNativePath.
std::u16string FromNativePath(std::string_view path);
// The system's bytes for a path; a lone surrogate that stands for no byte
// becomes U+FFFD.
std::string ToNativePath(std::u16string_view path);
// The path for people to read: each unit that stands for an undecodable byte
// becomes U+FFFD, as file managers show it.
std::u16string PathForDisplay(std::u16string_view path);

}  // namespace linesift
