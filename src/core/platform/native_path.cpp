#include "platform/native_path.h"

#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <cstdint>

#include "platform/code_page.h"

namespace linesift {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kReplacement = 0xFFFD;

bool IsEscapedByte(UChar32 c) {
    return c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
}

}  // namespace

std::u16string FromNativePath(std::string_view path) {
    const auto* s = reinterpret_cast<const uint8_t*>(path.data());
    const int32_t n = static_cast<int32_t>(path.size());
    std::u16string out;
    out.reserve(path.size());
    for (int32_t i = 0; i < n;) {
        const int32_t start = i;
        UChar32 c;
        U8_NEXT(s, i, n, c);
        if (c < 0) {
            // One unit per byte, so that each byte of a bad sequence is kept.
            out += static_cast<char16_t>(kEscapeBase + s[start]);
            i = start + 1;
        } else if (c <= 0xFFFF) {
            out += static_cast<char16_t>(c);
        } else {
            out += U16_LEAD(c);
            out += U16_TRAIL(c);
        }
    }
    return out;
}

std::string ToNativePath(std::u16string_view path) {
    const int32_t n = static_cast<int32_t>(path.size());
    std::string out;
    out.reserve(path.size());
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U16_NEXT(path.data(), i, n, c);
        if (IsEscapedByte(c)) {
            out += static_cast<char>(c - kEscapeBase);
        } else {
            AppendCodePointAsUtf8(U_IS_SURROGATE(c) ? kReplacement : static_cast<char32_t>(c), out);
        }
    }
    return out;
}

std::u16string PathForDisplay(std::u16string_view path) {
    std::u16string out(path);
    const int32_t n = static_cast<int32_t>(out.size());
    for (int32_t i = 0; i < n;) {
        const int32_t start = i;
        UChar32 c;
        U16_NEXT(out.data(), i, n, c);
        if (U_IS_SURROGATE(c)) {
            out[static_cast<size_t>(start)] = kReplacement;
        }
    }
    return out;
}

}  // namespace linesift
