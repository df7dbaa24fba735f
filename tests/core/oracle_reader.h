#pragma once

#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "document/text_encoding.h"
#include "document/text_file_stream.h"

namespace linesift::test {

using Lines = std::vector<std::u16string>;

// Reads a file's bytes into lines like the simplest possible implementation:
// one code unit at a time through a byte stream whose short reads still
// advance the position. The reference for every faster reader.
class OracleReader {
  public:
    explicit OracleReader(std::string bytes) : data_(std::move(bytes)) {}

    Lines ReadAll() {
        Lines lines;
        std::u16string line;
        while (ReadLine(line)) {
            lines.push_back(line);
        }
        return lines;
    }

  private:
    size_t Read(void* buf, size_t n) {
        if (pos_ >= data_.size()) {
            return 0;
        }
        size_t got = std::min(n, data_.size() - pos_);
        std::memcpy(buf, data_.data() + pos_, got);
        pos_ += got;
        return got;
    }

    int DetectEncoding() {
        if (data_.empty()) {
            return -1;
        }
        if (data_.size() < 2) {
            return Ansi;
        }
        auto b = [&](size_t i) { return static_cast<uint8_t>(data_[i]); };
        if (b(0) == 0xFF && b(1) == 0xFE) {
            return Utf16Le;
        }
        if (b(0) == 0xFE && b(1) == 0xFF) {
            return Utf16Be;
        }
        if (data_.size() >= 3 && b(0) == 0xEF && b(1) == 0xBB && b(2) == 0xBF) {
            return Utf8Bom;
        }
        size_t n = std::min<size_t>(data_.size(), 65536);
        return IsLikelyUtf8(reinterpret_cast<const uint8_t*>(data_.data()), n) > 0 ? Utf8 : Ansi;
    }

    bool ReadUnit(uint32_t& unit) {
        uint8_t b[2];
        size_t width = IsUtf16(enc_) ? 2 : 1;
        if (Read(b, width) != width) {
            return false;
        }
        unit = width == 1 ? b[0] : enc_ == Utf16Be ? (b[0] << 8 | b[1]) : (b[0] | b[1] << 8);
        return true;
    }

    bool EndsWithLineBreak() {
        size_t width = IsUtf16(enc_) ? 2 : 1;
        if (pos_ == 0 || pos_ > data_.size() || data_.size() < width) {
            return false;
        }
        size_t keep = pos_;
        pos_ = data_.size() - width;
        uint32_t unit = 0;
        bool ok = ReadUnit(unit);
        pos_ = keep;
        return ok && (unit == '\n' || unit == '\r');
    }

    std::u16string Decode(const std::string& bytes) {
        if (IsUtf16(enc_)) {
            std::u16string out;
            for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
                out.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                                    static_cast<uint8_t>(bytes[i + 1]) << 8));
            }
            return out;
        }
        const char* name = IsUtf8Encoding(enc_) ? "UTF-8" : "windows-1252";
        UErrorCode status = U_ZERO_ERROR;
        UConverter* cnv = ucnv_open(name, &status);
        std::u16string out(bytes.size() * 2 + 1, u'\0');
        int32_t len = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(out.data()),
                                    static_cast<int32_t>(out.size()), bytes.data(),
                                    static_cast<int32_t>(bytes.size()), &status);
        ucnv_close(cnv);
        out.resize(static_cast<size_t>(len));
        return out;
    }

    bool ReadLine(std::u16string& out) {
        if (enc_ == linesift::Detect) {
            enc_ = DetectEncoding();
            if (enc_ == -1) {
                return false;
            }
        }
        if (pos_ == 0 && (IsUtf16(enc_) || enc_ == Utf8Bom)) {
            std::string mark = enc_ == Utf16Le   ? "\xFF\xFE"
                               : enc_ == Utf16Be ? "\xFE\xFF"
                                                 : "\xEF\xBB\xBF";
            char got[3];
            if (Read(got, mark.size()) != mark.size() ||
                std::memcmp(got, mark.data(), mark.size()) != 0) {
                pos_ = 0;
            }
        }
        if (pos_ >= data_.size()) {
            if (pos_ != data_.size() || !EndsWithLineBreak()) {
                return false;
            }
            out.clear();
            pos_ = data_.size() + 1;
            return true;
        }
        std::string bytes;  // UTF-16 units are kept little-endian here
        bool any = false;
        uint32_t unit = 0;
        while (ReadUnit(unit)) {
            any = true;
            if (unit == '\n') {
                break;
            }
            if (unit == '\r') {
                uint32_t next = 0;
                size_t before = pos_;
                if (ReadUnit(next) && next != '\n') {
                    pos_ = before;
                }
                break;
            }
            bytes.push_back(static_cast<char>(unit & 0xFF));
            if (IsUtf16(enc_)) {
                bytes.push_back(static_cast<char>(unit >> 8));
            }
        }
        if (!any) {
            return false;
        }
        out = Decode(bytes);
        return true;
    }

    std::string data_;
    size_t pos_ = 0;
    int32_t enc_ = linesift::Detect;
};

}  // namespace linesift::test
