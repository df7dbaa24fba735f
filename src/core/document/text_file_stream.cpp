#include "document/text_file_stream.h"

#include <algorithm>
#include <cstring>

#include "document/line_scan.h"
#include "platform/mapped_read_guard.h"

namespace linesift {

int32_t IsLikelyUtf8(const uint8_t* bytes, size_t count) {
    if (bytes == nullptr || count < 1) {
        return -1;
    }
    int32_t score = 0;
    for (size_t i = 0; i < count; ++i) {
        uint8_t b = bytes[i];
        if (b == 0) {
            return -1;
        }
        if (b < 0x80) {
            score += 1;
        } else if ((b & 0xE0) == 0xC0 || (b & 0xF0) == 0xE0) {
            if (i < count - 1) {
                ++i;
                if ((bytes[i] & 0xC0) != 0x80) {
                    return -1;
                }
                score += (b & 0xE0) == 0xC0 ? 3 : 2;
            }
        }
    }
    return score;
}

int32_t DetectEncodingOf(const uint8_t* bytes, uint64_t size) {
    if (size == 0) {
        return -1;
    }
    if (size < 2) {
        return Ansi;
    }
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
        return Utf16Le;
    }
    if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
        return Utf16Be;
    }
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        return Utf8Bom;
    }
    size_t sample = static_cast<size_t>(std::min<uint64_t>(size, 65536));
    return IsLikelyUtf8(bytes, sample) > 0 ? Utf8 : Ansi;
}

int32_t TextFileStream::DetectEncoding() {
    uint64_t remembered = GetPosition();
    if (!SeekToBegin()) {
        return -1;
    }
    uint8_t head[3];
    size_t got = Read(head, 1, 3);
    int32_t result;
    if (got == 0) {
        result = -1;
    } else if (got < 2) {
        result = Ansi;
    } else if (head[0] == 0xFF && head[1] == 0xFE) {
        result = Utf16Le;
    } else if (head[0] == 0xFE && head[1] == 0xFF) {
        result = Utf16Be;
    } else if (got == 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF) {
        result = Utf8Bom;
    } else if (!SeekToBegin()) {
        result = Ansi;
    } else {
        std::vector<uint8_t> sample(65536);
        size_t n = Read(sample.data(), 1, sample.size());
        result = (n >= 2 && IsLikelyUtf8(sample.data(), n) > 0) ? Utf8 : Ansi;
    }
    SetPosition(remembered);
    return result;
}

bool TextFileStream::SkipByteOrderMark(int32_t encoding) {
    if (GetPosition() != 0) {
        return false;
    }
    static const uint8_t kLe[] = {0xFF, 0xFE};
    static const uint8_t kBe[] = {0xFE, 0xFF};
    static const uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
    const uint8_t* mark = encoding == Utf16Le ? kLe : encoding == Utf16Be ? kBe : kUtf8;
    size_t n = IsUtf16(encoding) ? 2 : IsUtf8Encoding(encoding) ? 3 : 0;
    if (n == 0) {
        return true;
    }
    uint8_t got[3] = {};
    if (Read(got, 1, n) != n || std::memcmp(got, mark, n) != 0) {
        SetPosition(0);
    }
    return true;
}

bool TextFileStream::EndsWithLineBreak() {
    uint64_t pos = GetPosition();
    uint64_t length = GetLength();
    if (pos == 0 || pos > length) {
        return false;
    }
    uint8_t tail[2] = {};
    size_t n = IsUtf16(encoding_) ? 2 : 1;
    bool ok = length >= n && SetPosition(length - n) && Read(tail, 1, n) == n;
    SetPosition(pos);
    return ok && EndsWithLineBreakAt(tail, n, encoding_);
}

bool TextFileStream::DecodeAppend(const uint8_t* bytes, size_t n, std::u16string& out) {
    size_t at = out.size();
    if (IsUtf16(encoding_)) {
        out.resize(at + n / 2);
        DecodeUtf16Into(bytes, n / 2, encoding_ == Utf16Be, out.data() + at);
        return true;
    }
    out.resize(at + n);
    if (IsUtf8Encoding(encoding_)) {
        out.resize(at + DecodeUtf8Into(bytes, n, out.data() + at));
        return true;
    }
    if (!legacy_) {
        legacy_ = std::make_unique<LegacyDecoder>();
    }
    out.resize(at);
    return legacy_->Append(std::string_view(reinterpret_cast<const char*>(bytes), n), out);
}

bool TextFileStream::ReadLine(std::u16string& out) {
    if (encoding_ == Detect) {
        encoding_ = DetectEncoding();
        if (encoding_ == -1) {
            return false;
        }
    }
    if (GetPosition() == 0 && (IsUtf16(encoding_) || encoding_ == Utf8Bom)) {
        SkipByteOrderMark(encoding_);
    }
    uint64_t length = GetLength();
    if (IsEof()) {
        if (GetPosition() != length) {
            return false;
        }
        if (!EndsWithLineBreak()) {
            return false;
        }
        out.clear();
        Seek(1, SeekOrigin::End);
        return true;
    }
    const uint8_t* data = MapWholeForReading();
    if (data == nullptr) {
        return false;
    }
    uint64_t pos = GetPosition();
    uint64_t begin = 0;
    uint64_t end = 0;
    LineStep step = LineStep::Stopped;
    bool decoded = false;
    auto scan = [&] {
        step = NextLine(data, length, length, encoding_, pos, begin, end);
        if (step == LineStep::Line) {
            // Copy out of the mapping inside the guard; decode outside it.
            scratch_.assign(reinterpret_cast<const char*>(data + begin), end - begin);
        }
    };
    if (!RunGuarded(scan)) {
        return false;
    }
    SetPosition(pos);
    if (step != LineStep::Line) {
        return false;
    }
    out.clear();
    decoded = DecodeAppend(reinterpret_cast<const uint8_t*>(scratch_.data()), scratch_.size(), out);
    return decoded;
}

bool TextFileStream::WriteByteOrderMark(int32_t encoding) {
    static const uint8_t kLe[] = {0xFF, 0xFE};
    static const uint8_t kBe[] = {0xFE, 0xFF};
    static const uint8_t kUtf8[] = {0xEF, 0xBB, 0xBF};
    switch (encoding) {
        case Utf16Le:
            return WriteBytes(kLe, 2);
        case Utf16Be:
            return WriteBytes(kBe, 2);
        case Utf8Bom:
            return WriteBytes(kUtf8, 3);
        default:
            return false;
    }
}

bool TextFileStream::WriteLine(std::u16string_view text, bool appendLineBreak) {
    if (IsUtf16(encoding_)) {
        if (GetPosition() == 0 && !WriteByteOrderMark(encoding_)) {
            return false;
        }
        bool be = encoding_ == Utf16Be;
        scratch_.resize(text.size() * 2);
        for (size_t i = 0; i < text.size(); ++i) {
            char16_t u = text[i];
            scratch_[2 * i + (be ? 1 : 0)] = static_cast<char>(u & 0xFF);
            scratch_[2 * i + (be ? 0 : 1)] = static_cast<char>(u >> 8);
        }
        if (!WriteBytes(scratch_.data(), scratch_.size())) {
            return false;
        }
        static const char kLeBreak[] = {'\r', 0, '\n', 0};
        static const char kBeBreak[] = {0, '\r', 0, '\n'};
        return !appendLineBreak || WriteBytes(be ? kBeBreak : kLeBreak, 4);
    }
    if (IsUtf8Encoding(encoding_)) {
        if (encoding_ == Utf8Bom && GetPosition() == 0 && !WriteByteOrderMark(Utf8Bom)) {
            return false;
        }
        scratch_.clear();
        AppendUtf16AsUtf8(text, scratch_);
    } else {
        if (!encoder_) {
            encoder_ = std::make_unique<FileTextEncoder>();
        }
        if (!encoder_->Encode(text, scratch_)) {
            return false;
        }
    }
    if (appendLineBreak) {
        scratch_ += "\r\n";
    }
    return WriteBytes(scratch_.data(), scratch_.size());
}

}  // namespace linesift
