#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/native_path.h"

namespace linesift {
namespace {

struct NativeRow {
    const char* name;
    std::string bytes;
    std::u16string path;
    std::u16string shown;
};

TEST(NativePathTest, BytesRoundTripExactly) {
    const std::vector<NativeRow> rows = {
        {"ascii", "/tmp/app.log", u"/tmp/app.log", u"/tmp/app.log"},
        {"valid UTF-8 decodes", "caf\xC3\xA9.txt", u"caf\u00E9.txt", u"caf\u00E9.txt"},
        {"four-byte UTF-8 is a pair", "\xF0\x9F\x98\x80", u"\U0001F600", u"\U0001F600"},
        {"a Latin-1 byte escapes", "caf\xE9.txt", u"caf\xDCE9.txt", u"caf\uFFFD.txt"},
        {"each byte of a bad sequence escapes alone", "a\xE2\x82z", u"a\xDCE2\xDC82z",
         u"a\uFFFD\uFFFDz"},
        {"a truncated sequence at the end", "x\xC3", u"x\xDCC3", u"x\uFFFD"},
        {"an encoded surrogate is not UTF-8", "\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9",
         u"\uFFFD\uFFFD\uFFFD"},
        {"an overlong form is not UTF-8", "\xC0\xAF", u"\xDCC0\xDCAF", u"\uFFFD\uFFFD"},
        {"0xFF", "\xFF/\x80", u"\xDCFF/\xDC80", u"\uFFFD/\uFFFD"},
        {"valid text after a bad byte", "\xE9\xC3\xA9", u"\xDCE9\u00E9", u"\uFFFD\u00E9"},
    };
    for (const NativeRow& row : rows) {
        EXPECT_EQ(FromNativePath(row.bytes), row.path) << row.name;
        EXPECT_EQ(ToNativePath(row.path), row.bytes) << row.name;
        EXPECT_EQ(PathForDisplay(row.path), row.shown) << row.name;
    }
}

TEST(NativePathTest, EveryByteAfterAsciiComesBack) {
    for (int b = 1; b < 256; ++b) {
        const std::string bytes = "n" + std::string(1, static_cast<char>(b)) + ".log";
        EXPECT_EQ(ToNativePath(FromNativePath(bytes)), bytes) << "byte " << b;
    }
}

TEST(NativePathTest, SurrogatesThatStandForNoByteBecomeReplacement) {
    // U+DC00..U+DC7F and lone leads never come from FromNativePath.
    EXPECT_EQ(ToNativePath(u"a\xDC41"), "a\xEF\xBF\xBD");
    EXPECT_EQ(ToNativePath(u"a\xD800"), "a\xEF\xBF\xBD");
    EXPECT_EQ(PathForDisplay(u"a\xD800"), u"a\uFFFD");
}

}  // namespace
}  // namespace linesift
