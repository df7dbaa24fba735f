#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "filter/unit_finder.h"

namespace linesift {

// Finds an ASCII string in encoded bytes: there is an occurrence at p when
// Fold(text[p + j]) == needle[j] for every j, where Fold lowers A-Z when
// folding is on and changes nothing else. Scans with vector instructions and
// gives exactly the occurrences of the byte-by-byte comparison. Immutable
// once built, so threads may share one.
class ByteFinder {
  public:
    // Finds nothing.
    ByteFinder() = default;
    // needle is ASCII, in lower case when fold is set; an empty needle finds nothing.
    ByteFinder(std::string_view needle, bool fold);

    // The first occurrence that lies wholly in [begin, end), or null.
    const uint8_t* Find(const uint8_t* begin, const uint8_t* end) const;
    // Find without vector instructions.
    const uint8_t* FindScalar(const uint8_t* begin, const uint8_t* end) const;
    // True when the needle occurs at at, which has Needle().size() bytes.
    bool IsAt(const uint8_t* at) const;

    const std::string& Needle() const { return needle_; }

    // A needle position the vector scan tests: a byte t there can be the
    // needle's byte exactly when (t | or_bits) == value.
    struct Anchor {
        uint32_t offset = 0;
        uint8_t or_bits = 0;
        uint8_t value = 0;
    };
    static constexpr size_t kAnchors = 3;
    const std::array<Anchor, kAnchors>& Anchors() const { return anchors_; }

    using Kernel = const uint8_t* (*)(const ByteFinder&, const uint8_t*, const uint8_t*);

  private:
    std::string needle_;
    std::string or_bits_;  // per needle byte: 0x20 for a folded letter, else 0
    std::array<Anchor, kAnchors> anchors_;
    Kernel kernel_ = nullptr;
};

// Where a needle of a UnitFinder may be looked for in the bytes of a text
// whose ASCII bytes decode one to one to the same ASCII units while no other
// byte sequence decodes to an ASCII unit (UTF-8, and single-byte code pages
// that keep ASCII): the longest run of needle units that only ASCII units
// match under the finder's map (nor CR or LF, which never occur in a line).
// Such a run occurs in a line's text exactly where its bytes, compared as
// ByteFinder(Key(), fold) does, occur in the line's bytes.
struct AsciiKey {
    size_t offset = 0;
    size_t length = 0;  // 0: no unit of the needle qualifies
    std::string bytes;  // the run as bytes
    bool fold = false;  // compare with ASCII letters folded

    // The run is the whole needle: the needle occurs where the key's bytes do.
    bool Whole(const std::u16string& needle) const { return length == needle.size(); }
};
AsciiKey FindAsciiKey(std::u16string_view needle, CaseMap map);

}  // namespace linesift
