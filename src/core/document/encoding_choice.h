#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "document/text_encoding.h"

namespace linesift {

// The encoding a user chose for a file instead of the detected one.
struct EncodingChoice {
    int32_t encoding = Detect;  // Detect: the file's bytes decide, as always
    // With Ansi: the code page (an ICU converter name); empty for the legacy one.
    std::string code_page = {};

    bool IsAuto() const { return encoding == Detect; }
    bool operator==(const EncodingChoice&) const = default;
};

// Reads an encoding name as a user gives it: "auto" or "" (detect),
// "UTF-8", "UTF-16LE", "UTF-16BE" (case, '-' and '_' do not matter), or any
// code page ICU knows whose text splits into lines at the bytes CR and LF
// (CheckLineCodePage). False, with a sentence in error, for anything else.
bool ParseEncodingName(std::string_view name, EncodingChoice& choice, std::string& error);

// The name ParseEncodingName reads back as the same choice: "auto",
// "UTF-8", "UTF-16LE", "UTF-16BE" or the code page's name.
std::string EncodingChoiceName(const EncodingChoice& choice);

// How the encoding a document is read in is shown to the user: "UTF-8",
// "UTF-8 BOM", "UTF-16LE", "UTF-16BE", or the code page's name for Ansi.
std::string EncodingLabel(int32_t encoding, const std::string& codePage);

}  // namespace linesift
