// The bulk line reader against a plain reader that takes one code unit at a
// time, on a corpus covering every encoding, every kind of line break, breaks
// and characters split across chunk boundaries, byte order marks, zero bytes,
// invalid bytes and odd-length UTF-16.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "document/mapped_file.h"
#include "document/text_document.h"
#include "document/text_file_stream.h"
#include "oracle_reader.h"
#include "platform/code_page.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::Lines;
using test::OracleReader;

Lines ReadWithStream(const std::string& path) {
    TextFileStream stream(Detect);
    EXPECT_TRUE(stream.OpenExisting(path));
    Lines lines;
    std::u16string line;
    while (stream.ReadLine(line)) {
        lines.push_back(line);
    }
    return lines;
}

Lines ReadWithDocument(const std::string& path) {
    TextDocument document;
    EXPECT_TRUE(document.LoadFromFile(FromNativePath(path))) << document.LastError();
    Lines lines;
    std::u16string buffer;
    for (size_t i = 0; i < document.LineCount(); ++i) {
        lines.emplace_back(document.LineText(i, buffer));
    }
    // The bulk reader gives the same lines.
    Lines bulk;
    LineBatch batch;
    EXPECT_EQ(document.ReadLines(0, document.LineCount(), batch,
                                 [&bulk](const LineBatch& read) {
                                     for (size_t k = 0; k < read.size(); ++k) {
                                         bulk.emplace_back(read.Line(k));
                                     }
                                     return true;
                                 }),
              ReadStatus::Ok);
    EXPECT_EQ(bulk, lines);
    return lines;
}

void ExpectSameLines(const Lines& expected, const Lines& actual, const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(expected[i], actual[i]) << what << ", line " << i;
    }
}

std::string Utf16(const std::u16string& text, bool bigEndian, bool bom) {
    std::string out = bom ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (char16_t u : text) {
        char lo = static_cast<char>(u & 0xFF);
        char hi = static_cast<char>(u >> 8);
        out += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return out;
}

// Pieces the random corpus is made of, per kind of file.
std::string RandomBytes(std::mt19937& rng, size_t size, int kind) {
    static const std::vector<std::string> breaks = {"\n", "\r", "\r\n", "\r\r\n", "\n\n"};
    static const std::vector<std::string> utf8 = {"\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
                                                  "\xC3",     "\xE2\x82",     "\xED\xA0\x80",
                                                  "\xFF",     "\x80\x80",     "\xF4\x90\x80\x80"};
    std::string out;
    std::uniform_int_distribution<int> pick(0, 99);
    while (out.size() < size) {
        int r = pick(rng);
        if (r < 10) {
            out += breaks[static_cast<size_t>(pick(rng)) % breaks.size()];
        } else if (r < 14 && kind != 0) {
            out += utf8[static_cast<size_t>(pick(rng)) % utf8.size()];
        } else if (r < 16 && kind == 2) {
            out.push_back('\0');
        } else if (r < 20 && kind == 2) {
            out.push_back(static_cast<char>(0x80 + pick(rng)));
        } else {
            out.push_back(static_cast<char>('a' + r % 26));
        }
    }
    return out;
}

class LineReaderCorpus : public ::testing::Test {
  protected:
    void Check(const std::string& name, const std::string& bytes) {
        std::string path = dir_.Write(name, bytes);
        Lines expected = OracleReader(bytes).ReadAll();
        ExpectSameLines(expected, ReadWithStream(path), name + " (stream)");
        ExpectSameLines(expected, ReadWithDocument(path), name + " (document)");
        SetParallelLoadThresholdForTesting(1);
        ExpectSameLines(expected, ReadWithDocument(path), name + " (document, two parts)");
        SetParallelLoadThresholdForTesting(0);
    }

    test::TempDir dir_;
};

TEST_F(LineReaderCorpus, HandPickedFiles) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty", ""},
        {"lf", "a\nb"},
        {"lf-final", "a\nb\n"},
        {"crlf-crlf", "a\r\n\r\nb"},
        {"lone-cr", "a\rb"},
        {"cr-cr-lf", "\r\r\n"},
        {"only-lf", "\n"},
        {"only-cr", "\r"},
        {"single-byte", "a"},
        {"bom-le-only", "\xFF\xFE"},
        {"bom-be-only", "\xFE\xFF"},
        {"bom-utf8-only", "\xEF\xBB\xBF"},
        {"le-a", std::string("\xFF\xFE"
                             "a\0",
                             4)},
        {"le-odd", std::string("\xFF\xFE"
                               "a\0\n\0\r",
                               7)},
        {"le-odd-after-text", std::string("\xFF\xFE"
                                          "a\0b",
                                          5)},
        {"le-cr-then-odd", std::string("\xFF\xFE"
                                       "\r\0A",
                                       5)},
        {"le-odd-newline-byte", std::string("\xFF\xFE"
                                            "a\0\n",
                                            5)},
        {"be-lines", std::string("\xFE\xFF\0a\0\r\0\n\0b\0\r", 12)},
        {"utf8-bom",
         "\xEF\xBB\xBF"
         "caf\xC3\xA9\r\nx"},
        {"utf8-zero-after-64k", std::string(70000, 'x') + std::string("\n\0z\n", 4)},
        {"zero-early-is-ansi", std::string("ab\0cd\ne\xE9", 8)},
        {"utf16-without-bom", Utf16(u"hi\nthere", false, false)},
        {"cp1252", "caf\xE9 \x80\x81\x8D\n\x9F"},
        {"utf8-invalid", "\xC3\xA9\xE2\x82\n\xED\xA0\x80\xF4\x90\x80\x80\xC0\xAF"},
        {"utf8-zero-in-line", std::string("ab\0cd\n", 6) + std::string(65536, 'x')},
    };
    for (const auto& [name, bytes] : cases) {
        Check(name, bytes);
    }
}

TEST_F(LineReaderCorpus, RandomFilesAcrossChunkBoundaries) {
    std::mt19937 rng(20261208);
    const size_t sizes[] = {
        1, 2, 3, 17, 4095, kChunkSize - 1, kChunkSize, kChunkSize + 3, 3 * kChunkSize + 5};
    int n = 0;
    for (size_t size : sizes) {
        for (int kind = 0; kind < 3; ++kind) {
            std::string text = RandomBytes(rng, size, kind);
            std::string tag =
                std::to_string(size) + "-" + std::to_string(kind) + "-" + std::to_string(n++);
            Check("plain-" + tag, text);
            Check("bom-" + tag, "\xEF\xBB\xBF" + text);
            std::u16string units;
            for (char c : text) {
                units.push_back(
                    static_cast<char16_t>(static_cast<uint8_t>(c) | (c == 'q' ? 0xD800 : 0)));
            }
            Check("le-" + tag, Utf16(units, false, true));
            Check("be-" + tag, Utf16(units, true, true));
            Check("le-odd-" + tag, Utf16(units, false, true) + "\n");
        }
    }
}

}  // namespace
}  // namespace linesift
