#include "platform/char_class.h"

#include <unicode/uchar.h>

#include <array>
#include <memory>

namespace linesift {
namespace {

// u_tolower on every BMP unit once; surrogate units map to themselves.
const std::array<char16_t, 65536>& LowerTable() {
    static const auto table = [] {
        auto t = std::make_unique<std::array<char16_t, 65536>>();
        for (uint32_t c = 0; c < 65536; ++c) {
            UChar32 lower = u_tolower(static_cast<UChar32>(c));
            (*t)[c] = (lower <= 0xFFFF && !(c >= 0xD800 && c <= 0xDFFF))
                          ? static_cast<char16_t>(lower)
                          : static_cast<char16_t>(c);
        }
        return t;
    }();
    return *table;
}

}  // namespace

char16_t LowerCaseUnit(char16_t c) {
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    }
    return LowerTable()[c];
}

void LowerCaseInPlace(std::u16string& text) {
    for (char16_t& c : text) {
        c = LowerCaseUnit(c);
    }
}

bool IsWhiteSpaceUnit(char16_t c) {
    return u_isUWhiteSpace(static_cast<UChar32>(c));
}

bool IsWordUnit(char16_t c) {
    return c == u'_' || u_isalnum(static_cast<UChar32>(c));
}

}  // namespace linesift
