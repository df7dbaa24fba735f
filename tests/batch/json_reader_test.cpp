// The strict JSON reader the batch mode's output is checked with: it must
// refuse what a lenient reader would let through, or those checks prove
// nothing.
#include "json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace linesift::test {
namespace {

TEST(JsonReaderTest, AcceptsValidDocuments) {
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"object", R"({"line": 1, "text": "a", "spans": [[0, 1], [2, 3]], "matched": true})"},
        {"nested empty containers", R"( [ {}, [], null, false ] )"},
        {"numbers", "[0, -0, 12, 1.5, -2e10, 3E+2, 4e-1]"},
        {"escapes", R"("\" \\ \/ \b \f \n \r \t \u00e9 \ud83d\ude00 \ud800")"},
        {"UTF-8 up to four bytes", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
    };
    for (const Row& row : rows) {
        JsonValue value;
        std::string error;
        EXPECT_TRUE(ReadJson(row.text, value, error)) << row.name << ": " << error;
    }
}

TEST(JsonReaderTest, RefusesInvalidDocuments) {
    struct Row {
        const char* name;
        std::string text;
    };
    const Row rows[] = {
        {"empty", ""},
        {"trailing comma", "[1, 2,]"},
        {"text after the value", "{} {}"},
        {"unquoted key", "{a: 1}"},
        {"raw control character", std::string("\"a\x01\"")},
        {"raw line feed", "\"a\nb\""},
        {"unknown escape", R"("\x41")"},
        {"short unicode escape", R"("\u12")"},
        {"leading zero", "[01]"},
        {"bare point", "[1.]"},
        {"lone UTF-8 continuation", "\"\x80\""},
        {"overlong UTF-8", "\"\xC0\xAF\""},
        {"encoded surrogate", "\"\xED\xA0\x80\""},
        {"past U+10FFFF", "\"\xF4\x90\x80\x80\""},
        {"cut sequence", "\"\xE2\x82\""},
        {"unterminated string", "\"abc"},
        {"single quotes", "['a']"},
    };
    for (const Row& row : rows) {
        JsonValue value;
        std::string error;
        EXPECT_FALSE(ReadJson(row.text, value, error)) << row.name;
    }
}

TEST(JsonReaderTest, KeepsStringsAsUtf16Units) {
    JsonValue value;
    std::string error;
    ASSERT_TRUE(ReadJson(R"({"text": "a\ud800\u00e9\ud83d\ude00", "line": 7})", value, error));
    ASSERT_NE(value.Member(u"text"), nullptr);
    EXPECT_EQ(value.Member(u"text")->string, u"a\xD800\u00e9\U0001F600");
    EXPECT_EQ(value.Member(u"line")->number, "7");
    EXPECT_EQ(value.Member(u"spans"), nullptr);
}

}  // namespace
}  // namespace linesift::test
