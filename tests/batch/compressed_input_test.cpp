// Compressed files through the built program, made with the formats' own
// command-line tools.
#include <gtest/gtest.h>

#include <string>

#include "program_process.h"
#include "test_files.h"

namespace linesift {
namespace {

using test::ProgramResult;
using test::RunProgram;
using test::RunShell;

struct Format {
    const char* name;
    const char* compress;  // writes the compressed standard input to standard output
};

const Format kFormats[] = {
    {"gzip", "gzip -c"},
    {"bzip2", "bzip2 -1 -c"},  // blocks of 100 kB, so a damaged file has whole ones
    {"xz", "xz -c"},
    {"zstd", "zstd -q -c"},
};

class CompressedInputTest : public ::testing::Test {
  protected:
    // Compresses the file at plain with format into a file whose name says
    // nothing of the format.
    std::string Compress(const std::string& plain, const Format& format, const std::string& name) {
        std::string path = dir_.Path() + "/" + name;
        EXPECT_EQ(RunShell(std::string(format.compress) + " < '" + plain + "' > '" + path + "'"),
                  0);
        return path;
    }

    test::TempDir dir_;
};

// Mixed line breaks, a UTF-16 file and a last line without a break: the
// lines are exactly those of the uncompressed file.
TEST_F(CompressedInputTest, EachFormatReadsAsItsText) {
    std::string utf8 = "alpha\r\nerror one\rbeta\n\xC3\xA9rror? no error\n\nlast error";
    std::string utf16(
        "\xFF\xFE"
        "e\0r\0r\0\r\0\n\0x\0\n\0e\0r\0r\0",
        22);
    for (const Format& format : kFormats) {
        for (const auto& [label, text] : {std::pair{"utf-8", utf8}, std::pair{"utf-16", utf16}}) {
            SCOPED_TRACE(std::string(format.name) + " " + label);
            std::string plain = dir_.Write("plain.log", text);
            std::string packed = Compress(plain, format, "packed.log");
            for (const std::vector<std::string>& args :
                 {std::vector<std::string>{"-n", "--filter", "err"},
                  std::vector<std::string>{"--json", "--filter", "err", "--filter-mode=show-all"},
                  std::vector<std::string>{"--count"}}) {
                std::vector<std::string> withPlain = args;
                withPlain.push_back(plain);
                std::vector<std::string> withPacked = args;
                withPacked.push_back(packed);
                ProgramResult expected = RunProgram(withPlain);
                ProgramResult got = RunProgram(withPacked);
                EXPECT_EQ(got.out, expected.out);
                EXPECT_EQ(got.status, 0) << got.err;
                EXPECT_EQ(got.err, "");
                std::vector<std::string> withStdin = args;
                withStdin.push_back("-");
                ProgramResult piped = RunProgram(withStdin, packed);
                EXPECT_EQ(piped.out, expected.out) << "standard input";
                EXPECT_EQ(piped.status, 0) << piped.err;
            }
        }
    }
}

TEST_F(CompressedInputTest, PlainStandardInputReadsAsTheFile) {
    for (const std::string& text :
         {std::string("one\r\ntwo\n\x1F\x8B not gzip\n"), std::string("\x1F\x8B\x07 almost gzip"),
          std::string("\xFF\xFEu\0t\0f\0", 8)}) {
        std::string plain = dir_.Write("plain.log", text);
        ProgramResult r = RunProgram({"--print", "-"}, plain);
        EXPECT_EQ(r.out, RunProgram({"--print", plain}).out);
        EXPECT_EQ(r.status, 0);
    }
}

// A truncated or corrupt archive: the readable lines are printed, the reason
// goes to standard error and the exit status is 2.
TEST_F(CompressedInputTest, DamagedArchivesPrintWhatWasReadableAndFail) {
    std::string text;
    for (int i = 0; i < 60000; ++i) {
        text += "line " + std::to_string(i) + " of the log\n";
    }
    std::string plain = dir_.Write("plain.log", text);
    struct Damage {
        const char* name;
        const char* how;  // a shell command that damages the file named by $f at its middle
        const char* says;
    };
    const Damage damages[] = {
        {"truncated", "truncate -s $(($(stat -c %s \"$f\") / 2)) \"$f\"", "ends early"},
        {"corrupt",
         "printf 'XXXXXXXXXXXXXXXX' | dd of=\"$f\" bs=1 seek=$(($(stat -c %s \"$f\") / 2)) "
         "conv=notrunc 2>/dev/null",
         "corrupt"},
    };
    for (const Format& format : kFormats) {
        for (const Damage& damage : damages) {
            SCOPED_TRACE(std::string(format.name) + " " + damage.name);
            std::string packed = Compress(plain, format, "damaged.log");
            ASSERT_EQ(RunShell("f='" + packed + "'; " + damage.how), 0);
            for (bool viaStdin : {false, true}) {
                ProgramResult r = viaStdin ? RunProgram({"--print", "-"}, packed)
                                           : RunProgram({"--print", packed});
                EXPECT_EQ(r.status, 2);
                EXPECT_NE(r.err.find(damage.says), std::string::npos) << r.err;
                EXPECT_EQ(r.err.rfind("linesift: ", 0), 0u) << r.err;
                // A decoder may give out garbage shortly before it notices
                // the damage; the first thousand lines lie well before it.
                size_t thousand = 0;
                for (int i = 0; i < 1000 && thousand != std::string::npos; ++i) {
                    thousand = text.find('\n', thousand + (i > 0));
                }
                ASSERT_GT(r.out.size(), thousand) << "lines before the damage were readable";
                EXPECT_EQ(r.out.compare(0, thousand, text, 0, thousand), 0);
            }
        }
    }
}

}  // namespace
}  // namespace linesift
