#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// Text conversions at the program's edges. Everything inside is UTF-16.
// None of these depends on the process locale except where said.

// UTF-8 to UTF-16. Invalid sequences become U+FFFD (one per maximal invalid
// subpart); a zero byte becomes U+0000.
std::u16string Utf8ToUtf16(std::string_view bytes);
void AppendUtf8AsUtf16(std::string_view bytes, std::u16string& out);

// UTF-16 to UTF-8. A lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf16AsUtf8(std::u16string_view text, std::string& out);
// Appends one code point (at most U+10FFFF) as UTF-8.
void AppendCodePointAsUtf8(char32_t c, std::string& out);

// The legacy code page that files detected as neither UTF-8 nor UTF-16 are
// read with: the locale's charset when it is a legacy one, otherwise
// windows-1252, unless SetLegacyCodePage named another.
std::string LegacyCodePageName();

// Chooses the legacy code page by ICU converter name; an empty name restores
// the default. False (and no change) when ICU does not know the name or it
// holds anything but printable ASCII.
bool SetLegacyCodePage(const std::string& name);

// True when ICU knows the code page name and its text can be split into
// lines at the bytes CR and LF: those two bytes decode to CR and LF on their
// own, as in ASCII (which rules out UTF-16, UTF-32 and EBCDIC code pages).
// canonical receives the name people know it by (its MIME or IANA name,
// else ICU's own).
bool CheckLineCodePage(const std::string& name, std::string& canonical);

// The canonical names of the code pages CheckLineCodePage accepts, sorted
// without regard to case.
std::vector<std::string> LineCodePages();

// Decodes bytes of the legacy code page. Usable from one thread at a time;
// create one per thread. Unmapped bytes follow ICU's substitution.
class LegacyDecoder {
  public:
    LegacyDecoder();
    // Decodes the code page called name instead (an ICU converter name);
    // an empty name, or one ICU does not know, means the legacy code page.
    explicit LegacyDecoder(const std::string& name);
    ~LegacyDecoder();
    LegacyDecoder(const LegacyDecoder&) = delete;
    LegacyDecoder& operator=(const LegacyDecoder&) = delete;

    // True when every byte maps to exactly one UTF-16 unit on its own, so
    // SingleByteTable() can decode without the converter.
    bool IsSingleByte() const { return single_byte_; }
    const char16_t* SingleByteTable() const { return table_; }

    // Decodes bytes as a whole and appends the text to out. False when the
    // converter could not be opened.
    bool Append(std::string_view bytes, std::u16string& out);

    // Decodes into dest, which has room for bytes.size() units when
    // IsSingleByte(), otherwise for twice as many. Returns the units written.
    size_t DecodeInto(std::string_view bytes, char16_t* dest);

  private:
    struct Converter;
    std::unique_ptr<Converter> converter_;
    bool single_byte_ = false;
    bool ascii_identity_ = false;  // bytes below 0x80 decode to themselves
    char16_t table_[256] = {};
};

// Encodes text for writing a file: the locale's character set, which is UTF-8
// on ordinary systems (and under the plain C locale); under a legacy charset,
// characters it cannot represent become its substitution character.
class FileTextEncoder {
  public:
    FileTextEncoder();
    ~FileTextEncoder();
    FileTextEncoder(const FileTextEncoder&) = delete;
    FileTextEncoder& operator=(const FileTextEncoder&) = delete;

    // Replaces out with the encoded text. False when encoding failed.
    bool Encode(std::u16string_view text, std::string& out);

  private:
    struct Converter;
    std::unique_ptr<Converter> converter_;  // null: UTF-8
};

}  // namespace linesift
