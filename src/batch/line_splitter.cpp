#include "line_splitter.h"

#include <algorithm>
#include <cstring>

#include "document/line_scan.h"
#include "document/text_encoding.h"
#include "document/text_file_stream.h"
#include "platform/code_page.h"

namespace linesift {

LineSplitter::LineSplitter(int32_t encoding, const std::string& codePage, bool marked)
    : encoding_(encoding),
      bom_left_(encoding == Utf8Bom           ? 3
                : IsUtf16(encoding) && marked ? 2
                                              : 0),
      legacy_(IsUtf16(encoding) || IsUtf8Encoding(encoding)
                  ? nullptr
                  : std::make_unique<LegacyDecoder>(codePage)) {}

LineSplitter::~LineSplitter() = default;

void LineSplitter::Emit(const uint8_t* p, size_t n, const LineVisitor& visit) {
    if (IsUtf16(encoding_)) {
        text_.resize(n / 2);
        DecodeUtf16Into(p, n / 2, encoding_ == Utf16Be, text_.data());
    } else if (legacy_ == nullptr) {
        // The decoder's block stores may write up to 16 units past the text.
        text_.resize(n + 16);
        text_.resize(DecodeUtf8Into(p, n, text_.data()));
    } else {
        text_.resize(2 * n + 16);
        text_.resize(legacy_->DecodeInto(std::string_view(reinterpret_cast<const char*>(p), n),
                                         text_.data()));
    }
    visit(text_);
}

void LineSplitter::Append(const uint8_t* bytes, size_t n, const LineVisitor& visit) {
    size_t skip = std::min(bom_left_, n);
    bom_left_ -= skip;
    pending_.insert(pending_.end(), bytes + skip, bytes + n);
    const bool wide = IsUtf16(encoding_);
    const bool be = encoding_ == Utf16Be;
    const size_t unit = wide ? 2 : 1;
    auto isLf = [&](const uint8_t* p) {
        return wide ? (be ? p[0] == 0 && p[1] == '\n' : p[0] == '\n' && p[1] == 0) : *p == '\n';
    };
    const uint8_t* data = pending_.data();
    size_t size = pending_.size() - pending_.size() % unit;
    size_t pos = 0;
    if (skip_lf_ && size >= unit) {
        skip_lf_ = false;
        pos = isLf(data) ? unit : 0;
    }
    while (pos < size) {
        size_t k = wide ? unit * FindLineBreak16(data + pos, (size - pos) / 2, be)
                        : FindLineBreak8(data + pos, data + size);
        if (pos + k == size) {
            break;
        }
        Emit(data + pos, k, visit);
        size_t brk = pos + k;
        pos = brk + unit;
        if (!isLf(data + brk)) {
            // A CR: the LF of a CR LF may be in the next piece.
            if (pos + unit <= size) {
                pos += isLf(data + pos) ? unit : 0;
            } else {
                skip_lf_ = true;
            }
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<ptrdiff_t>(pos));
}

void LineSplitter::Finish(const LineVisitor& visit) {
    size_t unit = IsUtf16(encoding_) ? 2 : 1;
    size_t whole = pending_.size() - pending_.size() % unit;
    if (whole > 0) {
        Emit(pending_.data(), whole, visit);
    }
    pending_.clear();
    skip_lf_ = false;
}

int32_t DetectFollowedEncoding(const uint8_t* head, size_t n, bool final) {
    static const std::string_view kMarks[] = {"\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF"};
    std::string_view got(reinterpret_cast<const char*>(head), n);
    if (got.substr(0, 2) == kMarks[0]) {
        return Utf16Le;
    }
    if (got.substr(0, 2) == kMarks[1]) {
        return Utf16Be;
    }
    if (got.substr(0, 3) == kMarks[2]) {
        return Utf8Bom;
    }
    if (!final) {
        for (std::string_view mark : kMarks) {
            if (n < mark.size() && mark.substr(0, n) == got) {
                return Detect;
            }
        }
        constexpr size_t kSample = 65536;
        if (n < kSample && FindLineBreak8(head, head + n) == n) {
            return Detect;
        }
    }
    size_t sample = std::min<size_t>(n, 65536);
    return n >= 2 && IsLikelyUtf8(head, sample) > 0 ? Utf8 : Ansi;
}

int32_t ChosenFollowedEncoding(const EncodingChoice& choice, const uint8_t* head, size_t n,
                               bool final, bool& marked) {
    std::string_view mark = choice.encoding == Utf8      ? "\xEF\xBB\xBF"
                            : choice.encoding == Utf16Le ? "\xFF\xFE"
                            : choice.encoding == Utf16Be ? "\xFE\xFF"
                                                         : "";
    std::string_view got(reinterpret_cast<const char*>(head), std::min(n, mark.size()));
    marked = !mark.empty() && got == mark;
    if (!final && !mark.empty() && n < mark.size() && mark.substr(0, n) == got) {
        return Detect;
    }
    return choice.encoding == Utf8 && marked ? Utf8Bom : choice.encoding;
}

}  // namespace linesift
