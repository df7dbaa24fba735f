#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace linesift::fuzz {

// Stops the run with a message when a property does not hold, so that the
// fuzzer records the input as a finding.
[[noreturn]] void Fail(const char* what);

inline void Check(bool ok, const char* what) {
    if (!ok) {
        Fail(what);
    }
}

// A folder of this process for files a target reads back: in memory
// (/dev/shm) where there is one, so iterations stay fast.
const std::string& ScratchFolder();
// Writes bytes to name in the scratch folder and returns the file's path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

// The bytes as UTF-16 little-endian units; an odd last byte is dropped.
std::u16string Utf16LeUnits(const uint8_t* data, size_t size);

// The text of an input whose first byte holds switches: bit 4 set means the
// rest is UTF-16 little-endian, otherwise UTF-8 (invalid sequences become
// U+FFFD). UTF-16 lets a target see lone surrogates.
std::u16string InputText(const uint8_t* data, size_t size);

// Splits text at every unit sep.
std::vector<std::u16string> SplitAt(std::u16string_view text, char16_t sep);

}  // namespace linesift::fuzz
