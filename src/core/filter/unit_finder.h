#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace linesift {

// How a text unit is mapped before it is compared with a needle unit.
enum class CaseMap : uint8_t {
    Exact,  // unchanged: match case on
    Lower,  // LowerCaseUnit: match case off (the regular-expression engine
            // too compares the lower-case forms)
};

// The unit c mapped by map.
char16_t MapUnit(CaseMap map, char16_t c);

// Rough commonness of a unit in logs and prose (higher is more common), so
// scans can test the rarest units of a needle first.
int UnitCommonness(char16_t c);

// The widest vector instructions a finder uses.
enum class VectorLevel : uint8_t { Sse2, Avx2, Avx512 };

// Finders built afterwards use at most level (and what the processor has).
// For tests, which check that every level finds the same.
void LimitVectorLevelForTesting(VectorLevel level);
// The widest level a finder built now uses: the processor's, within the limit.
VectorLevel UsableVectorLevel();

// Finds a fixed string in UTF-16 text whose units are mapped through a
// CaseMap: there is an occurrence at p when map(text[p + j]) == needle[j] for
// every j. Scans with vector instructions and gives exactly the occurrences of
// the plain unit-by-unit comparison. Immutable once built, so threads may
// share one.
class UnitFinder {
  public:
    static constexpr size_t npos = std::u16string_view::npos;

    // Finds nothing.
    UnitFinder() = default;
    // The needle is compared as given (callers pass it already mapped); an
    // empty needle finds nothing.
    UnitFinder(std::u16string_view needle, CaseMap map);

    // The first occurrence that lies wholly in [begin, end), or null.
    const char16_t* Find(const char16_t* begin, const char16_t* end) const;
    // The offset of the first occurrence at or after from, or npos.
    size_t Find(std::u16string_view text, size_t from = 0) const;
    bool IsIn(std::u16string_view text) const { return Find(text) != npos; }
    // True when the needle occurs at at; at must have Needle().size() units.
    bool IsAt(const char16_t* at) const;
    // Find without vector instructions: IsAt at every position.
    const char16_t* FindScalar(const char16_t* begin, const char16_t* end) const;

    const std::u16string& Needle() const { return needle_; }
    CaseMap Map() const { return map_; }

    // A needle position the vector scan tests first, with every unit that
    // maps to the needle's unit there (repeated to fill the array). When
    // there are at most two that differ in one bit, a unit t is one of them
    // exactly when (t | or_bits) == value: the test is simple.
    struct Anchor {
        uint32_t offset = 0;
        uint32_t count = 0;
        std::array<char16_t, 4> units = {};
        bool simple = false;
        char16_t or_bits = 0;
        char16_t value = 0;
    };
    static constexpr size_t kAnchors = 3;
    const std::array<Anchor, kAnchors>& Anchors() const { return anchors_; }

    // A vector scan of [begin, end) by a finder's anchors, chosen for the processor.
    using Kernel = const char16_t* (*)(const UnitFinder&, const char16_t*, const char16_t*);

  private:
    void ChooseAnchors();
    static Anchor MakeAnchor(uint32_t offset, const std::array<char16_t, 5>& units, size_t count);
    bool IsAtMapped(const char16_t* at) const;

    std::u16string needle_;
    CaseMap map_ = CaseMap::Exact;
    bool impossible_ = true;  // some needle unit is no unit's image
    bool fixed_ = true;       // the map sends every needle unit to itself
    std::array<Anchor, kAnchors> anchors_;
    Kernel kernel_ = nullptr;  // null: scalar scan
};

}  // namespace linesift
