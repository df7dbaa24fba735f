#include "json_reader.h"

namespace linesift::test {
namespace {

class JsonReader {
  public:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ReadDocument(JsonValue& value) {
        SkipSpace();
        if (!ReadValue(value, 0)) {
            return false;
        }
        SkipSpace();
        return at_ == text_.size() || Fail("text after the value");
    }
    std::string Error() const { return error_ + " at byte " + std::to_string(at_); }

  private:
    static constexpr int kMaxDepth = 64;

    bool Fail(const char* why) {
        error_ = why;
        return false;
    }
    bool AtEnd() const { return at_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
    void SkipSpace() {
        while (!AtEnd() && (Peek() == ' ' || Peek() == '\t' || Peek() == '\n' || Peek() == '\r')) {
            ++at_;
        }
    }
    bool Consume(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) {
            return false;
        }
        at_ += word.size();
        return true;
    }

    bool ReadValue(JsonValue& value, int depth) {
        if (depth > kMaxDepth) {
            return Fail("nested too deeply");
        }
        switch (Peek()) {
            case '{':
                return ReadObject(value, depth);
            case '[':
                return ReadArray(value, depth);
            case '"':
                value.kind = JsonValue::Kind::String;
                return ReadString(value.string);
            case 't':
            case 'f':
                value.kind = JsonValue::Kind::Bool;
                value.boolean = Peek() == 't';
                return Consume(value.boolean ? "true" : "false") || Fail("bad literal");
            case 'n':
                value.kind = JsonValue::Kind::Null;
                return Consume("null") || Fail("bad literal");
            default:
                return ReadNumber(value);
        }
    }

    bool ReadArray(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Array;
        ++at_;
        SkipSpace();
        if (Consume("]")) {
            return true;
        }
        while (true) {
            value.items.emplace_back();
            SkipSpace();
            if (!ReadValue(value.items.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (Consume("]")) {
                return true;
            }
            if (!Consume(",")) {
                return Fail("expected ',' or ']'");
            }
        }
    }

    bool ReadObject(JsonValue& value, int depth) {
        value.kind = JsonValue::Kind::Object;
        ++at_;
        SkipSpace();
        if (Consume("}")) {
            return true;
        }
        while (true) {
            value.keys.emplace_back();
            value.values.emplace_back();
            SkipSpace();
            if (Peek() != '"' || !ReadString(value.keys.back())) {
                return error_.empty() ? Fail("expected a key") : false;
            }
            SkipSpace();
            if (!Consume(":")) {
                return Fail("expected ':'");
            }
            SkipSpace();
            if (!ReadValue(value.values.back(), depth + 1)) {
                return false;
            }
            SkipSpace();
            if (Consume("}")) {
                return true;
            }
            if (!Consume(",")) {
                return Fail("expected ',' or '}'");
            }
        }
    }

    bool ReadDigits() {
        size_t from = at_;
        while (Peek() >= '0' && Peek() <= '9') {
            ++at_;
        }
        return at_ > from;
    }

    bool ReadNumber(JsonValue& value) {
        size_t from = at_;
        Consume("-");
        if (Consume("0")) {
            if (Peek() >= '0' && Peek() <= '9') {
                return Fail("leading zero");
            }
        } else if (!ReadDigits()) {
            return Fail("expected a value");
        }
        if (Consume(".") && !ReadDigits()) {
            return Fail("expected digits after '.'");
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++at_;
            if (Peek() == '+' || Peek() == '-') {
                ++at_;
            }
            if (!ReadDigits()) {
                return Fail("expected exponent digits");
            }
        }
        value.kind = JsonValue::Kind::Number;
        value.number = std::string(text_.substr(from, at_ - from));
        return true;
    }

    bool ReadHex4(char16_t& unit) {
        unit = 0;
        for (int i = 0; i < 4; ++i) {
            char c = Peek();
            int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
            if (d < 0) {
                return Fail("bad \\u escape");
            }
            unit = static_cast<char16_t>(unit * 16 + d);
            ++at_;
        }
        return true;
    }

    bool ReadEscape(std::u16string& out) {
        static constexpr std::string_view kFrom = "\"\\/bfnrt";
        static constexpr std::u16string_view kTo = u"\"\\/\b\f\n\r\t";
        char c = Peek();
        ++at_;
        if (c == 'u') {
            char16_t unit;
            if (!ReadHex4(unit)) {
                return false;
            }
            out.push_back(unit);
            return true;
        }
        size_t k = kFrom.find(c);
        if (c == '\0' || k == std::string_view::npos) {
            return Fail("bad escape");
        }
        out.push_back(kTo[k]);
        return true;
    }

    // One UTF-8 sequence: shortest form, no surrogates, at most U+10FFFF.
    bool ReadUtf8(std::u16string& out) {
        auto byte = [&](size_t i) { return static_cast<uint8_t>(text_[at_ + i]); };
        uint8_t lead = byte(0);
        int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : -1;
        if (extra < 0 || lead > 0xF4 || text_.size() - at_ <= static_cast<size_t>(extra)) {
            return Fail("invalid UTF-8");
        }
        char32_t c = lead & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) {
            if ((byte(static_cast<size_t>(i)) & 0xC0) != 0x80) {
                return Fail("invalid UTF-8");
            }
            c = c << 6 | (byte(static_cast<size_t>(i)) & 0x3F);
        }
        static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
        if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return Fail("invalid UTF-8");
        }
        at_ += static_cast<size_t>(extra) + 1;
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD7C0 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        return true;
    }

    bool ReadString(std::u16string& out) {
        ++at_;
        out.clear();
        while (true) {
            if (AtEnd()) {
                return Fail("unterminated string");
            }
            uint8_t c = static_cast<uint8_t>(Peek());
            if (c == '"') {
                ++at_;
                return true;
            }
            if (c < 0x20) {
                return Fail("control character in a string");
            }
            if (c == '\\') {
                ++at_;
                if (!ReadEscape(out)) {
                    return false;
                }
            } else if (c < 0x80) {
                out.push_back(c);
                ++at_;
            } else if (!ReadUtf8(out)) {
                return false;
            }
        }
    }

    std::string_view text_;
    size_t at_ = 0;
    std::string error_;
};

}  // namespace

const JsonValue* JsonValue::Member(std::u16string_view key) const {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key) {
            return &values[i];
        }
    }
    return nullptr;
}

bool ReadJson(std::string_view text, JsonValue& value, std::string& error) {
    JsonReader reader(text);
    value = JsonValue();
    if (!reader.ReadDocument(value)) {
        error = reader.Error();
        return false;
    }
    return true;
}

}  // namespace linesift::test
