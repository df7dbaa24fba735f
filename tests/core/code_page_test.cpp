#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/code_page.h"

namespace linesift {
namespace {

struct Utf8Row {
    const char* name;
    std::u16string text;
    std::string utf8;
};

TEST(AppendUtf16AsUtf8Test, Rows) {
    const std::vector<Utf8Row> rows = {
        {"ascii", u"plain\tline", "plain\tline"},
        {"two bytes", u"caf\u00E9", "caf\xC3\xA9"},
        {"three bytes", u"\u20AC5",
         "\xE2\x82\xAC"
         "5"},
        {"a surrogate pair is one code point", u"a\U0001F600b",
         "a\xF0\x9F\x98\x80"
         "b"},
        {"a lone lead becomes U+FFFD", u"a\xD800z", "a\xEF\xBF\xBDz"},
        {"a lone trail becomes U+FFFD", u"\xDC00", "\xEF\xBF\xBD"},
        {"a lead at the end becomes U+FFFD", u"x\xD83D", "x\xEF\xBF\xBD"},
        {"a zero unit stays", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
    };
    for (const Utf8Row& row : rows) {
        std::string out = "kept:";
        AppendUtf16AsUtf8(row.text, out);
        EXPECT_EQ(out, "kept:" + row.utf8) << row.name;
        EXPECT_EQ(Utf16ToUtf8(row.text), row.utf8) << row.name;
    }
}

TEST(AppendCodePointAsUtf8Test, EachLengthAtItsLimits) {
    std::string out;
    for (char32_t c : {U'\x7F', U'\x80', U'\x7FF', U'\x800', U'\xFFFF', U'\x10000', U'\x10FFFF'}) {
        AppendCodePointAsUtf8(c, out);
    }
    EXPECT_EQ(out, "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

}  // namespace
}  // namespace linesift
