#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace linesift {

// Buffers UTF-8 output and writes it in large blocks.
class OutputWriter {
  public:
    explicit OutputWriter(std::FILE* out) : out_(out) { buffer_.reserve(kFlushAt + 4096); }
    ~OutputWriter() { Flush(); }
    OutputWriter(const OutputWriter&) = delete;
    OutputWriter& operator=(const OutputWriter&) = delete;

    void Append(std::string_view bytes) {
        buffer_.append(bytes);
        FlushIfFull();
    }
    // The text as UTF-8; a lone surrogate becomes U+FFFD.
    void AppendText(std::u16string_view text);
    // The text as a JSON string, quotes included: escapes '"', '\\', every
    // control character, and a lone surrogate as its \uDxxx escape.
    void AppendJsonString(std::u16string_view text);
    // False when a write failed (for example a closed pipe or a full disk).
    bool Flush();
    // Whether a write has failed; nothing more is written after that, so a
    // caller stops producing output at once.
    bool Failed() const { return failed_; }

  private:
    static constexpr size_t kFlushAt = 1 << 20;
    void FlushIfFull() {
        if (buffer_.size() >= kFlushAt) {
            Flush();
        }
    }

    std::FILE* out_;
    std::string buffer_;
    bool failed_ = false;
};

}  // namespace linesift
