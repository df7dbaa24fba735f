#include "filter/unit_finder.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "platform/char_class.h"

namespace linesift {
namespace {

// Units that differ from their image, sorted by image, for finding every
// unit that a mapping sends to a given one.
using InverseMap = std::vector<std::pair<char16_t, char16_t>>;

InverseMap BuildInverse(CaseMap map) {
    InverseMap inverse;
    for (uint32_t c = 0; c < 65536; ++c) {
        char16_t image = MapUnit(map, static_cast<char16_t>(c));
        if (image != c) {
            inverse.emplace_back(image, static_cast<char16_t>(c));
        }
    }
    std::sort(inverse.begin(), inverse.end());
    return inverse;
}

const InverseMap& LowerInverse() {
    static const InverseMap lower = BuildInverse(CaseMap::Lower);
    return lower;
}

// The units that map to x, at most out.size() of them; returns how many there
// are, capped at out.size().
size_t Preimages(CaseMap map, char16_t x, std::array<char16_t, 5>& out) {
    size_t n = 0;
    if (MapUnit(map, x) == x) {
        out[n++] = x;
    }
    if (map == CaseMap::Exact) {
        return n;
    }
    const InverseMap& inverse = LowerInverse();
    auto it = std::lower_bound(inverse.begin(), inverse.end(), std::make_pair(x, char16_t{0}));
    for (; it != inverse.end() && it->first == x && n < out.size(); ++it) {
        out[n++] = it->second;
    }
    return n;
}

std::atomic<VectorLevel> g_level_limit{VectorLevel::Avx512};

bool HasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2 && g_level_limit.load() >= VectorLevel::Avx2;
}

bool HasAvx512() {
    static const bool avx512 = __builtin_cpu_supports("avx512bw");
    return avx512 && g_level_limit.load() >= VectorLevel::Avx512;
}

// Clears the two mask bits of the lowest matching unit.
inline uint32_t DropLowestUnit(uint32_t mask) {
    mask &= mask - 1;
    return mask & (mask - 1);
}

}  // namespace

void LimitVectorLevelForTesting(VectorLevel level) {
    g_level_limit = level;
}

VectorLevel UsableVectorLevel() {
    return HasAvx512() ? VectorLevel::Avx512 : HasAvx2() ? VectorLevel::Avx2 : VectorLevel::Sse2;
}

int UnitCommonness(char16_t c) {
    static const std::array<uint8_t, 128> table = [] {
        static const char kOrder[] =
            " etaoinsr0123456789lcdhum.:=-/pgfwyb_,[]()\"'vkxjqzESTAIONRLCDUMPH{}>"
            "<;#*+@&%?!|\\$^~`BFGKVWXYZJQ\t";
        std::array<uint8_t, 128> t = {};
        for (size_t i = 0; kOrder[i] != 0; ++i) {
            t[static_cast<unsigned char>(kOrder[i])] = static_cast<uint8_t>(250 - 2 * i);
        }
        return t;
    }();
    return c < 128 ? table[c] : 20;
}

char16_t MapUnit(CaseMap map, char16_t c) {
    switch (map) {
        case CaseMap::Exact:
            return c;
        case CaseMap::Lower:
            return LowerCaseUnit(c);
    }
    return c;
}

namespace {

// Lane k of an anchor's broadcast units for a kernel of K compares per anchor.
char16_t SplatUnit(const UnitFinder::Anchor& anchor, int k, int K) {
    if (K == 0) {
        return k == 0 ? anchor.value : anchor.or_bits;
    }
    return anchor.units[static_cast<size_t>(k)];
}

// The anchors' units broadcast into vectors: K compares per anchor, or for
// K == 0 the simple test, with the value in units[a][0] and the bits to set
// in units[a][1].
template <int K>
struct Splats128 {
    __m128i units[UnitFinder::kAnchors][K == 0 ? 2 : K];
    uint32_t offsets[UnitFinder::kAnchors];
};

template <int K>
struct Splats256 {
    __m256i units[UnitFinder::kAnchors][K == 0 ? 2 : K];
    uint32_t offsets[UnitFinder::kAnchors];
};

template <int K>
struct Splats512 {
    __m512i units[UnitFinder::kAnchors][K == 0 ? 2 : K];
    uint32_t offsets[UnitFinder::kAnchors];
};

template <int K>
uint32_t BlockMaskSse2(const char16_t* p, const Splats128<K>& s) {
    __m128i all = _mm_set1_epi8(-1);
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        __m128i t = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + s.offsets[a]));
        if constexpr (K == 0) {
            t = _mm_or_si128(t, s.units[a][1]);
        }
        __m128i e = _mm_cmpeq_epi16(t, s.units[a][0]);
        for (int k = 1; k < K; ++k) {
            e = _mm_or_si128(e, _mm_cmpeq_epi16(t, s.units[a][k]));
        }
        all = _mm_and_si128(all, e);
    }
    return static_cast<uint32_t>(_mm_movemask_epi8(all));
}

template <int K>
__attribute__((target("avx2"), always_inline)) inline uint32_t BlockMaskAvx2(
    const char16_t* p, const Splats256<K>& s) {
    __m256i all = _mm256_set1_epi8(-1);
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        __m256i t = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + s.offsets[a]));
        if constexpr (K == 0) {
            t = _mm256_or_si256(t, s.units[a][1]);
        }
        __m256i e = _mm256_cmpeq_epi16(t, s.units[a][0]);
        for (int k = 1; k < K; ++k) {
            e = _mm256_or_si256(e, _mm256_cmpeq_epi16(t, s.units[a][k]));
        }
        all = _mm256_and_si256(all, e);
    }
    return static_cast<uint32_t>(_mm256_movemask_epi8(all));
}

// One bit per start.
template <int K>
__attribute__((target("avx512f,avx512bw"), always_inline)) inline uint32_t BlockMaskAvx512(
    const char16_t* p, const Splats512<K>& s) {
    __mmask32 all = ~__mmask32{0};
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        __m512i t = _mm512_loadu_si512(p + s.offsets[a]);
        if constexpr (K == 0) {
            t = _mm512_or_si512(t, s.units[a][1]);
        }
        __mmask32 e = _mm512_cmpeq_epi16_mask(t, s.units[a][0]);
        for (int k = 1; k < K; ++k) {
            e |= _mm512_cmpeq_epi16_mask(t, s.units[a][k]);
        }
        all &= e;
    }
    return all;
}

// The first candidate in mask (two bits per unit, for the starts p...) where
// the needle really occurs.
inline const char16_t* VerifyMask(const UnitFinder& f, const char16_t* p, uint32_t mask) {
    for (; mask != 0; mask = DropLowestUnit(mask)) {
        const char16_t* at = p + __builtin_ctz(mask) / 2;
        if (f.IsAt(at)) {
            return at;
        }
    }
    return nullptr;
}

// Both kernels test blocks of starts from begin; the last block is moved
// back to end at the last start, skipping the starts already tested.
template <int K>
const char16_t* FindSse2(const UnitFinder& f, const char16_t* begin, const char16_t* end) {
    constexpr ptrdiff_t kBlock = 8;
    if (end - begin < static_cast<ptrdiff_t>(f.Needle().size()) + kBlock - 1) {
        return f.FindScalar(begin, end);
    }
    Splats128<K> s;
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        s.offsets[a] = f.Anchors()[a].offset;
        for (int k = 0; k < (K == 0 ? 2 : K); ++k) {
            s.units[a][k] = _mm_set1_epi16(static_cast<short>(SplatUnit(f.Anchors()[a], k, K)));
        }
    }
    const char16_t* lastBlock = end - f.Needle().size() - (kBlock - 1);
    for (const char16_t* p = begin;; p += kBlock) {
        uint32_t keep = ~0u;
        if (p > lastBlock) {
            keep <<= 2 * (p - lastBlock);
            p = lastBlock;
        }
        if (const char16_t* at = VerifyMask(f, p, BlockMaskSse2<K>(p, s) & keep)) {
            return at;
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
}

template <int K>
__attribute__((target("avx2"))) const char16_t* FindAvx2(const UnitFinder& f, const char16_t* begin,
                                                         const char16_t* end) {
    constexpr ptrdiff_t kBlock = 16;
    if (end - begin < static_cast<ptrdiff_t>(f.Needle().size()) + kBlock - 1) {
        return FindSse2<K>(f, begin, end);
    }
    Splats256<K> s;
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        s.offsets[a] = f.Anchors()[a].offset;
        for (int k = 0; k < (K == 0 ? 2 : K); ++k) {
            s.units[a][k] = _mm256_set1_epi16(static_cast<short>(SplatUnit(f.Anchors()[a], k, K)));
        }
    }
    const char16_t* lastBlock = end - f.Needle().size() - (kBlock - 1);
    for (const char16_t* p = begin;; p += kBlock) {
        uint32_t keep = ~0u;
        if (p > lastBlock) {
            keep <<= 2 * (p - lastBlock);
            p = lastBlock;
        }
        if (const char16_t* at = VerifyMask(f, p, BlockMaskAvx2<K>(p, s) & keep)) {
            return at;
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
}

template <int K>
__attribute__((target("avx512f,avx512bw"))) const char16_t* FindAvx512(const UnitFinder& f,
                                                                       const char16_t* begin,
                                                                       const char16_t* end) {
    constexpr ptrdiff_t kBlock = 32;
    if (end - begin < static_cast<ptrdiff_t>(f.Needle().size()) + kBlock - 1) {
        return FindAvx2<K>(f, begin, end);
    }
    Splats512<K> s;
    for (size_t a = 0; a < UnitFinder::kAnchors; ++a) {
        s.offsets[a] = f.Anchors()[a].offset;
        for (int k = 0; k < (K == 0 ? 2 : K); ++k) {
            s.units[a][k] = _mm512_set1_epi16(static_cast<short>(SplatUnit(f.Anchors()[a], k, K)));
        }
    }
    const char16_t* lastBlock = end - f.Needle().size() - (kBlock - 1);
    for (const char16_t* p = begin;; p += kBlock) {
        uint32_t keep = ~0u;
        if (p > lastBlock) {
            keep <<= p - lastBlock;
            p = lastBlock;
        }
        for (uint32_t mask = BlockMaskAvx512<K>(p, s) & keep; mask != 0; mask &= mask - 1) {
            const char16_t* at = p + __builtin_ctz(mask);
            if (f.IsAt(at)) {
                return at;
            }
        }
        if (p == lastBlock) {
            return nullptr;
        }
    }
}

template <int K>
UnitFinder::Kernel BestKernel() {
    return HasAvx512() ? &FindAvx512<K> : HasAvx2() ? &FindAvx2<K> : &FindSse2<K>;
}

}  // namespace

UnitFinder::UnitFinder(std::u16string_view needle, CaseMap map) : needle_(needle), map_(map) {
    impossible_ = needle_.empty();
    if (!impossible_) {
        ChooseAnchors();
    }
}

// Anchors: those with a simple test first; among them the needle's last
// unit, which ends most false starts early, then the rarest. Units with more
// than four preimages are never anchors; a needle without any is scanned
// without vectors.
void UnitFinder::ChooseAnchors() {
    std::vector<std::pair<int, Anchor>> candidates;
    for (uint32_t j = 0; j < needle_.size(); ++j) {
        std::array<char16_t, 5> units;
        size_t n = Preimages(map_, needle_[j], units);
        if (n == 0) {
            impossible_ = true;
            return;
        }
        fixed_ = fixed_ && MapUnit(map_, needle_[j]) == needle_[j];
        if (n <= 4) {
            Anchor anchor = MakeAnchor(j, units, n);
            int rank = j + 1 == needle_.size() ? -1 : UnitCommonness(needle_[j]);
            candidates.emplace_back(anchor.simple ? rank : 1000 + rank, anchor);
        }
    }
    if (candidates.empty()) {
        return;
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    bool simple = true;
    uint32_t width = 0;
    for (size_t a = 0; a < kAnchors; ++a) {
        anchors_[a] = candidates[a < candidates.size() ? a : 0].second;
        simple = simple && anchors_[a].simple;
        width = std::max(width, anchors_[a].count);
    }
    kernel_ = simple ? BestKernel<0>() : width <= 2 ? BestKernel<2>() : BestKernel<4>();
}

UnitFinder::Anchor UnitFinder::MakeAnchor(uint32_t offset, const std::array<char16_t, 5>& units,
                                          size_t count) {
    Anchor anchor{offset, static_cast<uint32_t>(count), {}};
    for (size_t k = 0; k < anchor.units.size(); ++k) {
        anchor.units[k] = units[k < count ? k : 0];
    }
    char16_t diff = static_cast<char16_t>(units[0] ^ units[count - 1]);
    anchor.simple = count <= 2 && (diff & (diff - 1)) == 0;
    anchor.or_bits = diff;
    anchor.value = static_cast<char16_t>(units[0] | diff);
    return anchor;
}

bool UnitFinder::IsAt(const char16_t* at) const {
    const size_t m = needle_.size();
    if (map_ == CaseMap::Exact) {
        return std::equal(needle_.begin(), needle_.end(), at);
    }
    if (!fixed_) {
        return IsAtMapped(at);
    }
    // Each needle unit is its own image, so an equal unit matches; an ASCII
    // unit matches otherwise only as the upper case of the needle's letter.
    for (size_t j = 0; j < m; ++j) {
        char16_t t = at[j];
        char16_t n = needle_[j];
        if (t == n) {
            continue;
        }
        if (t < 0x80 ? !(t >= u'A' && t <= u'Z' && t + 32 == n) : MapUnit(map_, t) != n) {
            return false;
        }
    }
    return true;
}

bool UnitFinder::IsAtMapped(const char16_t* at) const {
    for (size_t j = 0; j < needle_.size(); ++j) {
        if (MapUnit(map_, at[j]) != needle_[j]) {
            return false;
        }
    }
    return true;
}

const char16_t* UnitFinder::FindScalar(const char16_t* begin, const char16_t* end) const {
    const size_t m = needle_.size();
    for (const char16_t* p = begin; static_cast<size_t>(end - p) >= m; ++p) {
        if (IsAt(p)) {
            return p;
        }
    }
    return nullptr;
}

const char16_t* UnitFinder::Find(const char16_t* begin, const char16_t* end) const {
    if (impossible_ || begin >= end || static_cast<size_t>(end - begin) < needle_.size()) {
        return nullptr;
    }
    return kernel_ != nullptr ? kernel_(*this, begin, end) : FindScalar(begin, end);
}

size_t UnitFinder::Find(std::u16string_view text, size_t from) const {
    if (from > text.size()) {
        return npos;
    }
    const char16_t* at = Find(text.data() + from, text.data() + text.size());
    return at != nullptr ? static_cast<size_t>(at - text.data()) : npos;
}

}  // namespace linesift
