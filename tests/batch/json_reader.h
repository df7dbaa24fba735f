#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace linesift::test {

// A JSON value read strictly by the grammar of RFC 8259: UTF-8 text, no
// trailing commas, no control characters in strings, nothing after the
// value but white space. Strings are kept as UTF-16 units, so a "\ud800"
// escape gives a lone surrogate as JSON allows.
struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string number;  // as written
    std::u16string string;
    std::vector<JsonValue> items;
    std::vector<std::u16string> keys;  // of an object's members, in order, duplicates kept
    std::vector<JsonValue> values;     // of an object's members, as keys

    // The member named key, or null.
    const JsonValue* Member(std::u16string_view key) const;
};

// Reads text as one JSON value. False, with error saying where, when it is
// not valid JSON.
bool ReadJson(std::string_view text, JsonValue& value, std::string& error);

}  // namespace linesift::test
