#include "filter/byte_finder.h"

#include <immintrin.h>

#include <algorithm>
#include <vector>

#include "platform/char_class.h"

namespace linesift {
namespace {

bool IsLowerAsciiLetter(uint8_t c) {
    return c >= 'a' && c <= 'z';
}

// Each kernel tests blocks of kBlock starts from begin; the last block is
// moved back to end at the last start, skipping the starts already tested.
// Blocks whose loads would pass end are left to the next narrower kernel.

const uint8_t* FindSse2(const ByteFinder& f, const uint8_t* begin, const uint8_t* end) {
    constexpr ptrdiff_t kBlock = 16;
    const size_t m = f.Needle().size();
    if (end - begin < static_cast<ptrdiff_t>(m) + kBlock - 1) {
        return f.FindScalar(begin, end);
    }
    __m128i value[ByteFinder::kAnchors];
    __m128i orBits[ByteFinder::kAnchors];
    uint32_t offset[ByteFinder::kAnchors];
    for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
        const ByteFinder::Anchor& anchor = f.Anchors()[a];
        value[a] = _mm_set1_epi8(static_cast<char>(anchor.value));
        orBits[a] = _mm_set1_epi8(static_cast<char>(anchor.or_bits));
        offset[a] = anchor.offset;
    }
    const uint8_t* lastBlock = end - m - (kBlock - 1);
    for (const uint8_t* p = begin;; p += kBlock) {
        uint32_t keep = 0xFFFF;
        if (p > lastBlock) {
            keep = (keep << (p - lastBlock)) & 0xFFFF;
            p = lastBlock;
        }
        __m128i all = _mm_set1_epi8(-1);
        for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
            __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + offset[a]));
            all = _mm_and_si128(all, _mm_cmpeq_epi8(_mm_or_si128(t, orBits[a]), value[a]));
        }
        for (uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(all)) & keep; mask != 0;
             mask &= mask - 1) {
            const uint8_t* at = p + __builtin_ctz(mask);
            if (f.IsAt(at)) {
                return at;
            }
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
}

__attribute__((target("avx2"), always_inline)) inline uint32_t BlockMaskAvx2(
    const uint8_t* p, const __m256i* value, const __m256i* orBits, const uint32_t* offset) {
    __m256i all = _mm256_set1_epi8(-1);
    for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
        __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + offset[a]));
        all = _mm256_and_si256(all, _mm256_cmpeq_epi8(_mm256_or_si256(t, orBits[a]), value[a]));
    }
    return static_cast<uint32_t>(_mm256_movemask_epi8(all));
}

// Two blocks of 32 starts per step: the loads of both are in flight before
// either mask is tested.
__attribute__((target("avx2"))) const uint8_t* FindAvx2(const ByteFinder& f, const uint8_t* begin,
                                                        const uint8_t* end) {
    constexpr ptrdiff_t kBlock = 32;
    const size_t m = f.Needle().size();
    if (end - begin < static_cast<ptrdiff_t>(m) + kBlock - 1) {
        return FindSse2(f, begin, end);
    }
    __m256i value[ByteFinder::kAnchors];
    __m256i orBits[ByteFinder::kAnchors];
    uint32_t offset[ByteFinder::kAnchors];
    for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
        const ByteFinder::Anchor& anchor = f.Anchors()[a];
        value[a] = _mm256_set1_epi8(static_cast<char>(anchor.value));
        orBits[a] = _mm256_set1_epi8(static_cast<char>(anchor.or_bits));
        offset[a] = anchor.offset;
    }
    auto verify = [&f](const uint8_t* p, uint64_t mask) -> const uint8_t* {
        for (; mask != 0; mask &= mask - 1) {
            const uint8_t* at = p + __builtin_ctzll(mask);
            if (f.IsAt(at)) {
                return at;
            }
        }
        return nullptr;
    };
    const uint8_t* lastBlock = end - m - (kBlock - 1);
    const uint8_t* p = begin;
    for (; p + kBlock <= lastBlock; p += 2 * kBlock) {
        uint64_t mask = BlockMaskAvx2(p, value, orBits, offset) |
                        static_cast<uint64_t>(BlockMaskAvx2(p + kBlock, value, orBits, offset))
                            << 32;
        if (mask != 0) {
            if (const uint8_t* at = verify(p, mask)) {
                return at;
            }
        }
    }
    // The pairs may have ended past the last block's starts (p = lastBlock + 32).
    for (; p < lastBlock + kBlock; p += kBlock) {
        uint32_t keep = ~0u;
        if (p >= lastBlock) {
            keep <<= (p - lastBlock);
            p = lastBlock;
        }
        if (const uint8_t* at = verify(p, BlockMaskAvx2(p, value, orBits, offset) & keep)) {
            return at;
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
    return nullptr;
}

__attribute__((target("avx512f,avx512bw"))) const uint8_t* FindAvx512(const ByteFinder& f,
                                                                      const uint8_t* begin,
                                                                      const uint8_t* end) {
    constexpr ptrdiff_t kBlock = 64;
    const size_t m = f.Needle().size();
    if (end - begin < static_cast<ptrdiff_t>(m) + kBlock - 1) {
        return FindAvx2(f, begin, end);
    }
    __m512i value[ByteFinder::kAnchors];
    __m512i orBits[ByteFinder::kAnchors];
    uint32_t offset[ByteFinder::kAnchors];
    for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
        const ByteFinder::Anchor& anchor = f.Anchors()[a];
        value[a] = _mm512_set1_epi8(static_cast<char>(anchor.value));
        orBits[a] = _mm512_set1_epi8(static_cast<char>(anchor.or_bits));
        offset[a] = anchor.offset;
    }
    const uint8_t* lastBlock = end - m - (kBlock - 1);
    for (const uint8_t* p = begin;; p += kBlock) {
        uint64_t keep = ~uint64_t{0};
        if (p > lastBlock) {
            keep <<= (p - lastBlock);
            p = lastBlock;
        }
        __mmask64 all = ~__mmask64{0};
        for (size_t a = 0; a < ByteFinder::kAnchors; ++a) {
            __m512i t = _mm512_loadu_si512(p + offset[a]);
            all &= _mm512_cmpeq_epi8_mask(_mm512_or_si512(t, orBits[a]), value[a]);
        }
        for (uint64_t mask = all & keep; mask != 0; mask &= mask - 1) {
            const uint8_t* at = p + __builtin_ctzll(mask);
            if (f.IsAt(at)) {
                return at;
            }
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
}

// Units outside ASCII whose lower case is an ASCII unit (the Kelvin sign,
// the dotted capital I).
const std::array<bool, 128>& HasForeignLowerPreimage() {
    static const std::array<bool, 128> table = [] {
        std::array<bool, 128> t = {};
        for (uint32_t c = 0x80; c < 0x10000; ++c) {
            char16_t lower = LowerCaseUnit(static_cast<char16_t>(c));
            if (lower < 0x80) {
                t[lower] = true;
            }
        }
        return t;
    }();
    return table;
}

// Whether only the ASCII unit u itself (and, lowering, its upper case) maps to u.
bool OnlyAsciiMapsTo(char16_t u, CaseMap map) {
    if (u >= 0x80 || u == u'\r' || u == u'\n') {
        return false;
    }
    return map == CaseMap::Exact || (MapUnit(map, u) == u && !HasForeignLowerPreimage()[u]);
}

}  // namespace

ByteFinder::ByteFinder(std::string_view needle, bool fold) : needle_(needle) {
    if (needle_.empty()) {
        return;
    }
    const size_t m = needle_.size();
    or_bits_.assign(m, '\0');
    for (size_t j = 0; j < m; ++j) {
        if (fold && IsLowerAsciiLetter(static_cast<uint8_t>(needle_[j]))) {
            or_bits_[j] = 0x20;
        }
    }
    // The last byte, the first, and the rarest of the others.
    size_t rarest = m > 2 ? 1 : 0;
    for (size_t j = 2; j + 1 < m; ++j) {
        if (UnitCommonness(static_cast<uint8_t>(needle_[j])) <
            UnitCommonness(static_cast<uint8_t>(needle_[rarest]))) {
            rarest = j;
        }
    }
    const size_t offsets[kAnchors] = {m - 1, 0, rarest};
    for (size_t a = 0; a < kAnchors; ++a) {
        size_t j = offsets[a];
        anchors_[a] = Anchor{.offset = static_cast<uint32_t>(j),
                             .or_bits = static_cast<uint8_t>(or_bits_[j]),
                             .value = static_cast<uint8_t>(needle_[j])};
    }
    switch (UsableVectorLevel()) {
        case VectorLevel::Avx512:
            kernel_ = &FindAvx512;
            break;
        case VectorLevel::Avx2:
            kernel_ = &FindAvx2;
            break;
        case VectorLevel::Sse2:
            kernel_ = &FindSse2;
            break;
    }
}

bool ByteFinder::IsAt(const uint8_t* at) const {
    const size_t m = needle_.size();
    for (size_t j = 0; j < m; ++j) {
        if (static_cast<uint8_t>(at[j] | static_cast<uint8_t>(or_bits_[j])) !=
            static_cast<uint8_t>(needle_[j])) {
            return false;
        }
    }
    return true;
}

const uint8_t* ByteFinder::FindScalar(const uint8_t* begin, const uint8_t* end) const {
    const size_t m = needle_.size();
    for (const uint8_t* p = begin; static_cast<size_t>(end - p) >= m; ++p) {
        if (IsAt(p)) {
            return p;
        }
    }
    return nullptr;
}

const uint8_t* ByteFinder::Find(const uint8_t* begin, const uint8_t* end) const {
    if (needle_.empty() || begin >= end || static_cast<size_t>(end - begin) < needle_.size()) {
        return nullptr;
    }
    return kernel_(*this, begin, end);
}

AsciiKey FindAsciiKey(std::u16string_view needle, CaseMap map) {
    AsciiKey key;
    for (size_t j = 0; j < needle.size();) {
        size_t run = 0;
        while (j + run < needle.size() && OnlyAsciiMapsTo(needle[j + run], map)) {
            ++run;
        }
        if (run > key.length) {
            key.offset = j;
            key.length = run;
        }
        j += run + 1;
    }
    for (size_t j = key.offset; j < key.offset + key.length; ++j) {
        key.bytes.push_back(static_cast<char>(needle[j]));
    }
    key.fold = map == CaseMap::Lower;
    return key;
}

}  // namespace linesift
