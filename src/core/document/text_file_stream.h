#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "document/mapped_file.h"
#include "document/text_encoding.h"
#include "platform/code_page.h"

namespace linesift {

// Scores how likely bytes are UTF-8: -1 rejects (a zero byte, or a two- or
// three-byte lead not followed by a continuation byte); otherwise the sum of
// 1 per ASCII byte, 3 per checked two-byte lead, 2 per checked three-byte lead.
int32_t IsLikelyUtf8(const uint8_t* bytes, size_t count);

// The encoding of text that begins with these bytes: -1 when there are none,
// Ansi for a single byte, the encoding of a byte order mark, otherwise Utf8
// when the first 64 KiB score as likely UTF-8, else Ansi.
int32_t DetectEncodingOf(const uint8_t* bytes, uint64_t size);

// A mapped file stream that reads and writes lines of text in an encoding.
class TextFileStream : public MappedFileStream {
  public:
    explicit TextFileStream(int32_t encoding) : encoding_(encoding) {}

    // Detects the encoding from the first bytes: -1 when nothing can be read,
    // otherwise a TextEncoding. The position is kept.
    int32_t DetectEncoding();
    // At position 0, steps over the byte order mark of encoding when present.
    bool SkipByteOrderMark(int32_t encoding);
    // True when the data ends with a CR or LF unit (position restored).
    bool EndsWithLineBreak();
    // Reads the next line, without its line break, into out. True when a line
    // was produced (it may be empty); false at the end of the data or on error.
    bool ReadLine(std::u16string& out);

    bool WriteByteOrderMark(int32_t encoding);
    // Writes text in the stream's encoding, then CR LF when asked.
    bool WriteLine(std::u16string_view text, bool appendLineBreak);

  private:
    bool WriteBytes(const void* data, size_t n) { return n == 0 || Write(data, 1, n) == 1 * n; }
    bool DecodeAppend(const uint8_t* bytes, size_t n, std::u16string& out);

    int32_t encoding_;
    std::unique_ptr<LegacyDecoder> legacy_;
    std::unique_ptr<FileTextEncoder> encoder_;
    std::string scratch_;
};

}  // namespace linesift
