#pragma once

#include <string>
#include <string_view>

namespace linesift {

// Simple lower-case mapping of one UTF-16 code unit (one unit in, one unit
// out, so offsets never change). Independent of the process locale.
char16_t LowerCaseUnit(char16_t c);

// Lower-cases every code unit of text in place with LowerCaseUnit.
void LowerCaseInPlace(std::u16string& text);

// True for characters with the Unicode White_Space property.
bool IsWhiteSpaceUnit(char16_t c);

// True for letters, digits and the underscore: the characters of a word.
bool IsWordUnit(char16_t c);

}  // namespace linesift
