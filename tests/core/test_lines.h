#pragma once

#include <string>
#include <vector>

#include "document/line_store.h"

namespace linesift::test {

// A line store over given texts, either back to back in one buffer (as a
// loaded document keeps them) or each in its own allocation.
class TestLines {
  public:
    TestLines(const std::vector<std::u16string>& lines, bool contiguous) {
        if (contiguous) {
            size_t total = 0;
            for (const std::u16string& line : lines) {
                total += line.size();
            }
            buffer_.reserve(total);
            for (const std::u16string& line : lines) {
                buffer_ += line;
            }
            size_t offset = 0;
            for (const std::u16string& line : lines) {
                store_.Append(buffer_.data() + offset, static_cast<uint32_t>(line.size()));
                offset += line.size();
            }
        } else {
            separate_ = lines;
            for (const std::u16string& line : separate_) {
                store_.Append(line.data(), static_cast<uint32_t>(line.size()));
            }
        }
    }
    TestLines(const TestLines&) = delete;
    TestLines& operator=(const TestLines&) = delete;

    const LineStore& Store() const { return store_; }

  private:
    std::u16string buffer_;
    std::vector<std::u16string> separate_;
    LineStore store_;
};

}  // namespace linesift::test
