#include "output_writer.h"

#include <unicode/utf16.h>

#include "platform/code_page.h"

namespace linesift {

void OutputWriter::AppendText(std::u16string_view text) {
    AppendUtf16AsUtf8(text, buffer_);
    FlushIfFull();
}

void OutputWriter::AppendJsonString(std::u16string_view text) {
    static const char kHex[] = "0123456789abcdef";
    buffer_.push_back('"');
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        char16_t u = text[i];
        switch (u) {
            case u'"':
                buffer_ += "\\\"";
                ++i;
                continue;
            case u'\\':
                buffer_ += "\\\\";
                ++i;
                continue;
            case u'\n':
                buffer_ += "\\n";
                ++i;
                continue;
            case u'\r':
                buffer_ += "\\r";
                ++i;
                continue;
            case u'\t':
                buffer_ += "\\t";
                ++i;
                continue;
            default:
                break;
        }
        bool lone =
            U16_IS_SURROGATE(u) && !(U16_IS_LEAD(u) && i + 1 < n && U16_IS_TRAIL(text[i + 1]));
        if (u < 0x20 || u == 0x7F || lone) {
            buffer_ += "\\u";
            buffer_.push_back(kHex[(u >> 12) & 0xF]);
            buffer_.push_back(kHex[(u >> 8) & 0xF]);
            buffer_.push_back(kHex[(u >> 4) & 0xF]);
            buffer_.push_back(kHex[u & 0xF]);
            ++i;
            continue;
        }
        if (u < 0x80) {
            buffer_.push_back(static_cast<char>(u));
            ++i;
            continue;
        }
        UChar32 c;
        U16_NEXT(text.data(), i, n, c);
        AppendCodePointAsUtf8(static_cast<char32_t>(c), buffer_);
    }
    buffer_.push_back('"');
    FlushIfFull();
}

bool OutputWriter::Flush() {
    // After a failure the stream is not flushed again: that would retry the
    // data it still holds, once per block of output.
    if (!failed_) {
        failed_ = (!buffer_.empty() &&
                   std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size()) ||
                  std::fflush(out_) != 0;
    }
    buffer_.clear();
    return !failed_;
}

}  // namespace linesift
