// Reading a file in an encoding the caller chooses instead of the detected one.
#include "document/encoding_choice.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <string>
#include <vector>

#include "document/text_document.h"
#include "platform/code_page.h"
#include "test_files.h"

namespace linesift {
namespace {

TEST(EncodingChoiceTest, ParsesNamesAndReadsBackItsOwn) {
    struct Row {
        const char* name;
        const char* input;
        int32_t encoding;
        const char* code_page;  // the code page the choice holds
        const char* written;    // EncodingChoiceName of the result
    };
    const Row rows[] = {
        {"Empty", "", Detect, "", "auto"},
        {"Auto", "AUTO", Detect, "", "auto"},
        {"Utf8", "UTF-8", Utf8, "", "UTF-8"},
        {"Utf8Folded", "utf8", Utf8, "", "UTF-8"},
        {"Utf16LeUnderscore", "utf_16le", Utf16Le, "", "UTF-16LE"},
        {"Utf16Be", "UTF-16BE", Utf16Be, "", "UTF-16BE"},
        {"Windows1252", "windows-1252", Ansi, "windows-1252", "windows-1252"},
        {"Cp1252Alias", "cp1252", Ansi, "windows-1252", "windows-1252"},
        {"Latin1", "latin1", Ansi, "ISO-8859-1", "ISO-8859-1"},
        {"Latin9", "ISO-8859-15", Ansi, "ISO-8859-15", "ISO-8859-15"},
        {"ShiftJis", "sjis", Ansi, "Shift_JIS", "Shift_JIS"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EncodingChoice choice;
        std::string error;
        ASSERT_TRUE(ParseEncodingName(row.input, choice, error)) << error;
        EXPECT_EQ(choice.encoding, row.encoding);
        EXPECT_EQ(choice.code_page, row.code_page);
        EXPECT_EQ(EncodingChoiceName(choice), row.written);
        EncodingChoice again;
        ASSERT_TRUE(ParseEncodingName(EncodingChoiceName(choice), again, error));
        EXPECT_EQ(again, choice);
    }
}

TEST(EncodingChoiceTest, RefusesUnknownNamesAndOnesNotSplitAtCrAndLf) {
    for (const char* name : {"no-such-encoding", "UTF-16", "UTF-32", "ibm-037", "windows 1252",
                             "latin1\n", "\xC3\xA9"}) {
        SCOPED_TRACE(name);
        EncodingChoice choice{.encoding = Utf8};
        std::string error;
        EXPECT_FALSE(ParseEncodingName(name, choice, error));
        EXPECT_NE(error.find("unknown encoding"), std::string::npos) << error;
        EXPECT_TRUE(choice.IsAuto());
    }
}

TEST(EncodingChoiceTest, OfferedCodePagesAreAllAcceptedAndIncludeTheCommonOnes) {
    const std::vector<std::string> pages = LineCodePages();
    for (const char* expected : {"windows-1252", "ISO-8859-1", "Shift_JIS", "KOI8-R"}) {
        EXPECT_NE(std::find(pages.begin(), pages.end(), expected), pages.end()) << expected;
    }
    for (const std::string& page : pages) {
        std::string canonical;
        EXPECT_TRUE(CheckLineCodePage(page, canonical)) << page;
        EXPECT_EQ(canonical, page);
    }
}

// Text encoded with ICU's converter of that name.
std::string Encode(const std::u16string& text, const char* converter) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(converter, &status);
    EXPECT_TRUE(U_SUCCESS(status)) << converter;
    std::string out(text.size() * 4 + 8, '\0');
    const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()),
                                      reinterpret_cast<const UChar*>(text.data()),
                                      static_cast<int32_t>(text.size()), &status);
    ucnv_close(cnv);
    EXPECT_TRUE(U_SUCCESS(status)) << converter;
    out.resize(static_cast<size_t>(n));
    return out;
}

class ChosenEncodingTest : public ::testing::Test {
  protected:
    void TearDown() override { SetParallelLoadThresholdForTesting(0); }

    std::vector<std::u16string> Lines(const std::string& bytes, const std::string& name) {
        const std::string path = dir_.Write("file.txt", bytes);
        LoadOptions options;
        std::string error;
        EXPECT_TRUE(ParseEncodingName(name, options.encoding, error)) << error;
        EXPECT_TRUE(document_.LoadFromFile(FromNativePath(path), options)) << document_.LastError();
        std::vector<std::u16string> lines;
        std::u16string buffer;
        for (size_t i = 0; i < document_.LineCount(); ++i) {
            lines.emplace_back(document_.LineText(i, buffer));
        }
        return lines;
    }

    test::TempDir dir_;
    TextDocument document_;
};

// Each listed encoding: text written in it reads back exactly, line breaks
// of every kind included, with or without a byte order mark.
TEST_F(ChosenEncodingTest, RoundTripsThroughEveryListedEncoding) {
    struct Row {
        const char* name;
        const char* converter;  // ICU's name for writing the bytes
        std::u16string text;
        std::string mark;  // written before the text
    };
    const std::u16string latin = u"caf\u00e9 \u00fcber\r\nna\u00efve\rend";
    const Row rows[] = {
        {"UTF-8", "UTF-8", u"\u00e9t\u00e9 \u65e5\u672c\nzwei\r\n\U0001F600", ""},
        {"UTF-8", "UTF-8", u"with mark\nb", "\xEF\xBB\xBF"},
        {"UTF-16LE", "UTF-16LE", u"no mark \u65e5\r\nsecond\nthird", ""},
        {"UTF-16LE", "UTF-16LE", u"mark\nb", "\xFF\xFE"},
        {"UTF-16BE", "UTF-16BE", u"no mark \u00e9\nsecond\rthird", ""},
        {"UTF-16BE", "UTF-16BE", u"mark\nb", "\xFE\xFF"},
        {"windows-1252", "windows-1252", latin + u" \u20ac", ""},
        {"ISO-8859-1", "ISO-8859-1", latin, ""},
        {"ISO-8859-15", "ISO-8859-15", u"\u20ac 5\n\u0153uvre", ""},
        {"KOI8-R", "KOI8-R", u"\u043f\u0440\u0438\u0432\u0435\u0442\n\u043c\u0438\u0440", ""},
        {"Shift_JIS", "Shift_JIS", u"\u65e5\u672c\u8a9e\r\n\u30c6\u30b9\u30c8", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.name) + (row.mark.empty() ? "" : " with mark"));
        std::vector<std::u16string> expected;
        std::u16string current;
        for (size_t i = 0; i < row.text.size(); ++i) {
            const char16_t c = row.text[i];
            if (c == u'\r' || c == u'\n') {
                expected.push_back(current);
                current.clear();
                if (c == u'\r' && i + 1 < row.text.size() && row.text[i + 1] == u'\n') {
                    ++i;
                }
            } else {
                current += c;
            }
        }
        expected.push_back(current);
        EXPECT_EQ(Lines(row.mark + Encode(row.text, row.converter), row.name), expected);
        EXPECT_TRUE(document_.IsEncodingChosen());
    }
}

TEST_F(ChosenEncodingTest, DetectionWithoutAChoiceStaysAsItWas) {
    // UTF-16 without a byte order mark is not recognised by itself.
    const std::string bytes = Encode(u"abc\ndef", "UTF-16LE");
    Lines(bytes, "auto");
    EXPECT_FALSE(document_.IsEncodingChosen());
    EXPECT_FALSE(IsUtf16(document_.Encoding()));
    EXPECT_EQ(Lines(bytes, "UTF-16LE"), (std::vector<std::u16string>{u"abc", u"def"}));
    EXPECT_EQ(document_.Encoding(), Utf16Le);
    EXPECT_EQ(EncodingLabel(document_.Encoding(), document_.CodePage()), "UTF-16LE");
}

TEST_F(ChosenEncodingTest, ChoosingAnotherEncodingReadsTheSameBytesDifferently) {
    const std::string utf8 = "caf\xC3\xA9";
    EXPECT_EQ(Lines(utf8, "windows-1252"), (std::vector<std::u16string>{u"caf\u00c3\u00a9"}));
    EXPECT_EQ(document_.CodePage(), "windows-1252");
    EXPECT_EQ(Lines("caf\xE9", "UTF-8"), (std::vector<std::u16string>{u"caf\ufffd"}));
    // A mark of the other byte order is text, not a mark.
    EXPECT_EQ(Lines(std::string("\xFF\xFE") + Encode(u"x", "UTF-16BE"), "UTF-16BE"),
              (std::vector<std::u16string>{u"\ufffex"}));
}

// Large files are indexed on two threads; the split must keep UTF-16 units
// aligned to the text's start, which without a mark is byte 0.
TEST_F(ChosenEncodingTest, Utf16WithoutMarkIndexesTheSameOnTwoThreads) {
    std::u16string text;
    for (int i = 0; i < 3000; ++i) {
        text += u"line \u00e9 " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)) +
                (i % 3 == 0 ? u"\r\n" : u"\n");
    }
    const std::string bytes = Encode(text, "UTF-16BE");
    const std::vector<std::u16string> single = Lines(bytes, "UTF-16BE");
    SetParallelLoadThresholdForTesting(1024);
    EXPECT_EQ(Lines(bytes, "UTF-16BE"), single);
    ASSERT_EQ(single.size(), 3001u);
    EXPECT_EQ(single[2], u"line \u00e9 c");
}

}  // namespace
}  // namespace linesift
