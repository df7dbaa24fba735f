#include "filter/filter_pass.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <chrono>
#include <functional>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>

#include "document/text_document.h"
#include "filter/byte_finder.h"
#include "filter/regex_pattern.h"

namespace linesift {
namespace {

constexpr size_t kParallelThreshold = size_t{1} << 15;
std::atomic<size_t> g_parallel_threshold{kParallelThreshold};
constexpr size_t kMaxThreads = 8;
// A pass stops once the engine has given up on this many lines (each costs it
// at least some hundred thousand steps): such a query matches no line.
constexpr size_t kMaxGiveUps = 100;
std::atomic<bool> g_byte_scan{true};

// The engine's give-ups in one pass, over all its threads. Whether a pass
// reaches the limit depends on the lines alone, not on how they were split.
struct GiveUpBudget {
    std::atomic<size_t> used{0};

    bool Exhausted() const { return used.load(std::memory_order_relaxed) >= kMaxGiveUps; }
};

// Matches, charging the budget when the engine gave up on the line.
bool Evaluate(CompiledQuery& query, std::u16string_view line, GiveUpBudget& budget) {
    size_t before = query.GiveUps();
    bool matched = query.Matches(line);
    if (query.GiveUps() != before) {
        budget.used.fetch_add(1, std::memory_order_relaxed);
    }
    return matched;
}

// Scans the text of a batch of lines, which lie back to back, for the
// prefilter's literal: lines without it get its verdict at once, the others
// are evaluated (or decided by the hit).
void ScanBatch(CompiledQuery& query, const CompiledQuery::Prefilter& prefilter,
               const LineBatch& lines, LineBits& bits, GiveUpBudget& budget) {
    const UnitFinder& finder = *prefilter.finder;
    const size_t m = finder.Needle().size();
    const size_t n = lines.size();
    const size_t first = lines.FirstLine();
    const char16_t* base = lines.Data();
    const char16_t* textEnd = base + lines.End(n - 1);
    const char16_t* from = base;
    size_t k = 0;
    while (k < n) {
        const char16_t* hit = finder.Find(from, textEnd);
        if (hit == nullptr) {
            break;
        }
        size_t firstHit = k;
        while (hit >= base + lines.End(k)) {
            ++k;
        }
        if (prefilter.verdict_without) {
            bits.SetRange(first + firstHit, first + k);
        }
        if (hit + m > base + lines.End(k)) {
            from = hit + 1;
            continue;
        }
        if (budget.Exhausted()) {
            return;
        }
        bool matched = prefilter.hit_decides ? !prefilter.verdict_without
                                             : Evaluate(query, lines.Line(k), budget);
        if (matched) {
            bits.Set(first + k);
        }
        from = base + lines.End(k);
        ++k;
    }
    if (prefilter.verdict_without) {
        bits.SetRange(first + k, first + n);
    }
}

// The prefilter's literal looked for in the encoded bytes: the part of it
// that only ASCII characters match (see FindAsciiKey). Lines without the
// key's bytes lack the literal; the others are evaluated, or decided by the
// hit when the key is the whole literal (and, for a term that needs word
// boundaries, when the bytes around the hit are ASCII and show them).
struct BytePrefilter {
    ByteFinder finder;
    bool verdict_without = false;
    bool hit_decides = false;
    CompiledQuery::Boundary hit_boundary = CompiledQuery::Boundary::None;
};

bool MakeBytePrefilter(const CompiledQuery::Prefilter& prefilter, BytePrefilter& out) {
    if (prefilter.finder == nullptr || !g_byte_scan.load(std::memory_order_relaxed)) {
        return false;
    }
    const std::u16string& needle = prefilter.finder->Needle();
    AsciiKey key = FindAsciiKey(needle, prefilter.finder->Map());
    if (key.length == 0) {
        return false;
    }
    out.finder = ByteFinder(key.bytes, key.fold);
    out.verdict_without = prefilter.verdict_without;
    out.hit_decides = prefilter.hit_decides && key.Whole(needle);
    out.hit_boundary = key.Whole(needle) ? prefilter.hit_boundary : CompiledQuery::Boundary::None;
    return true;
}

bool IsAsciiWordByte(uint8_t c) {
    static const std::array<bool, 128> word = [] {
        std::array<bool, 128> t = {};
        for (char32_t u = 0; u < 128; ++u) {
            t[u] = IsRegexWordChar(u);
        }
        return t;
    }();
    return word[c];
}

enum class HitVerdict { Found, NotFound, Unknown };

// Whether the word-boundary test holds at byte pos of a line that spans
// [begin, end) of bytes, line ending included: a line ending is no word
// character, just as the end of the text. Unknown when a neighbour is not
// ASCII.
HitVerdict BoundaryAt(const uint8_t* bytes, size_t begin, size_t end, size_t pos) {
    const uint8_t before = pos > begin ? bytes[pos - 1] : ' ';
    const uint8_t after = pos < end ? bytes[pos] : ' ';
    if (before >= 0x80 || after >= 0x80) {
        return HitVerdict::Unknown;
    }
    return IsAsciiWordByte(before) != IsAsciiWordByte(after) ? HitVerdict::Found
                                                             : HitVerdict::NotFound;
}

// Whether the line [begin, end) holds the term with its word boundaries,
// looking at hit and the hits after it in the line.
HitVerdict FindWordHit(const BytePrefilter& prefilter, const uint8_t* bytes, size_t begin,
                       size_t end, const uint8_t* hit) {
    const size_t m = prefilter.finder.Needle().size();
    for (; hit != nullptr; hit = prefilter.finder.Find(hit + 1, bytes + end)) {
        const size_t at = static_cast<size_t>(hit - bytes);
        HitVerdict verdict = BoundaryAt(bytes, begin, end, at);
        if (verdict == HitVerdict::Found &&
            prefilter.hit_boundary == CompiledQuery::Boundary::Both) {
            verdict = BoundaryAt(bytes, begin, end, at + m);
        }
        if (verdict != HitVerdict::NotFound) {
            return verdict;
        }
    }
    return HitVerdict::NotFound;
}

// The verdict of line k of lines, whose first hit is hit.
HitVerdict LineVerdict(const BytePrefilter& prefilter, const ByteBatch& lines, size_t k,
                       const uint8_t* hit) {
    if (prefilter.hit_boundary != CompiledQuery::Boundary::None) {
        return FindWordHit(prefilter, lines.Data(), lines.Begin(k), lines.Begin(k + 1), hit);
    }
    return prefilter.hit_decides ? HitVerdict::Found : HitVerdict::Unknown;
}

// Runs under the document's read guard, so it allocates nothing: lines of
// the batch without the key get the verdict of lines without the literal;
// the others are decided by their hits or picked to be evaluated. The key
// holds no line break, so a hit lies within one line's text.
void PickCandidates(const BytePrefilter& prefilter, ByteBatch& lines, LineBits& bits) {
    const size_t n = lines.size();
    const size_t first = lines.FirstLine();
    const uint8_t* base = lines.Data();
    const uint8_t* end = base + lines.Begin(n);
    const uint8_t* from = base;
    size_t k = 0;
    while (k < n) {
        const uint8_t* hit = prefilter.finder.Find(from, end);
        if (hit == nullptr) {
            break;
        }
        const size_t at = static_cast<size_t>(hit - base);
        const size_t firstHit = k;
        while (at >= lines.Begin(k + 1)) {
            ++k;
        }
        if (prefilter.verdict_without) {
            bits.SetRange(first + firstHit, first + k);
        }
        switch (LineVerdict(prefilter, lines, k, hit)) {
            case HitVerdict::Found:
                if (!prefilter.verdict_without) {
                    bits.Set(first + k);
                }
                break;
            case HitVerdict::NotFound:
                if (prefilter.verdict_without) {
                    bits.Set(first + k);
                }
                break;
            case HitVerdict::Unknown:
                lines.Pick(k);
                break;
        }
        ++k;
        from = base + lines.Begin(k);
    }
    if (prefilter.verdict_without) {
        bits.SetRange(first + k, first + n);
    }
}

ReadStatus ScanRangeBytes(CompiledQuery& query, const BytePrefilter& prefilter,
                          const TextDocument& document, size_t begin, size_t end, LineBits& bits,
                          GiveUpBudget& budget) {
    ByteBatch batch;
    return document.ReadLineBytes(
        begin, end, batch, [&](ByteBatch& lines) { PickCandidates(prefilter, lines, bits); },
        [&](const ByteBatch& lines) {
            for (size_t i = 0; i < lines.PickedCount() && !budget.Exhausted(); ++i) {
                if (Evaluate(query, lines.PickedText(i), budget)) {
                    bits.Set(lines.FirstLine() + lines.PickedEntry(i));
                }
            }
            return !budget.Exhausted();
        });
}

ReadStatus EvaluateRange(CompiledQuery& query, const TextDocument& document, size_t begin,
                         size_t end, LineBits& bits, GiveUpBudget& budget) {
    CompiledQuery::Prefilter prefilter = query.GetPrefilter();
    BytePrefilter bytePrefilter;
    if (document.HasAsciiBytes() && MakeBytePrefilter(prefilter, bytePrefilter)) {
        return ScanRangeBytes(query, bytePrefilter, document, begin, end, bits, budget);
    }
    LineBatch batch;
    return document.ReadLines(begin, end, batch, [&](const LineBatch& lines) {
        if (prefilter.finder != nullptr) {
            ScanBatch(query, prefilter, lines, bits, budget);
            return !budget.Exhausted();
        }
        for (size_t k = 0; k < lines.size() && !budget.Exhausted(); ++k) {
            if (Evaluate(query, lines.Line(k), budget)) {
                bits.Set(lines.FirstLine() + k);
            }
        }
        return !budget.Exhausted();
    });
}

// Splits the lines into one range per thread, each starting at a multiple of
// 64 so that no two threads write the same word of bits. Each thread has its
// own copy of the query.
// Evaluates lines [begin, end); begin is a multiple of 64.
ReadStatus EvaluateLines(CompiledQuery& query, const TextDocument& document, size_t begin,
                         size_t end, LineBits& bits, GiveUpBudget& budget) {
    const size_t n = end - begin;
    size_t threads = std::min<size_t>(std::thread::hardware_concurrency(), kMaxThreads);
    if (n < g_parallel_threshold.load() || threads < 2) {
        return EvaluateRange(query, document, begin, end, bits, budget);
    }
    const size_t step = ((n + threads - 1) / threads + 63) & ~size_t{63};
    std::vector<CompiledQuery> copies(threads - 1, query);
    std::vector<std::thread> workers;
    std::atomic<bool> failed{false};
    std::atomic<bool> changed{false};
    auto guarded = [&](CompiledQuery& own, size_t t) {
        try {
            ReadStatus status = EvaluateRange(own, document, begin + t * step,
                                              std::min(end, begin + (t + 1) * step), bits, budget);
            failed = failed || status == ReadStatus::OutOfMemory;
            changed = changed || status == ReadStatus::FileChanged;
        } catch (...) {
            failed = true;
        }
    };
    for (size_t t = 1; t < threads && t * step < n; ++t) {
        try {
            workers.emplace_back(guarded, std::ref(copies[t - 1]), t);
        } catch (const std::system_error&) {
            guarded(copies[t - 1], t);
        }
    }
    guarded(query, 0);
    for (std::thread& worker : workers) {
        worker.join();
    }
    return changed ? ReadStatus::FileChanged : failed ? ReadStatus::OutOfMemory : ReadStatus::Ok;
}

bool Cancelled(const FilterPassOptions& options) {
    return options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed);
}

// The lines of the chunk after one of lines that took ms: toward target_ms,
// at most four times larger or half as large, a multiple of 64.
size_t NextChunkLines(size_t lines, double ms, int target_ms) {
    double factor = ms > 0 ? target_ms / ms : 4.0;
    factor = std::clamp(factor, 0.5, 4.0);
    size_t next = static_cast<size_t>(static_cast<double>(lines) * factor);
    return std::max<size_t>(next, 4096) & ~size_t{63};
}

// Evaluates the lines chunk by chunk, reporting each. Done when all were
// read (or the budget ran out), else Cancelled, FileChanged or OutOfMemory.
FilterStatus EvaluateInChunks(CompiledQuery& query, const TextDocument& document, LineBits& bits,
                              GiveUpBudget& budget, const FilterPassOptions& options) {
    using Clock = std::chrono::steady_clock;
    const size_t n = document.LineCount();
    size_t chunk = std::max<size_t>((options.first_chunk_lines + 63) & ~size_t{63}, 64);
    for (size_t begin = 0; begin < n && !budget.Exhausted();) {
        if (Cancelled(options)) {
            return FilterStatus::Cancelled;
        }
        const size_t end = std::min(n, begin + chunk);
        const Clock::time_point start = Clock::now();
        ReadStatus read = EvaluateLines(query, document, begin, end, bits, budget);
        if (read != ReadStatus::Ok) {
            return read == ReadStatus::FileChanged ? FilterStatus::FileChanged
                                                   : FilterStatus::OutOfMemory;
        }
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (options.on_chunk && !budget.Exhausted()) {
            options.on_chunk(FilterChunk{.begin = begin, .end = end, .total = n, .matched = bits});
        }
        chunk = NextChunkLines(end - begin, took.count(), options.chunk_ms);
        begin = end;
    }
    return Cancelled(options) ? FilterStatus::Cancelled : FilterStatus::Done;
}

}  // namespace

void CollectShownLines(const FilterRequest& request, FilterResult& result) {
    const FilterMode mode = request.text.empty() ? FilterMode::ShowAll : request.filter_mode;
    const LineBits& matched = result.matched;
    result.has_context = false;
    if (mode == FilterMode::ShowAll) {
        result.shown.ShowAll(matched.size());
        return;
    }
    LineBits shown = matched;
    if (mode == FilterMode::HideUnmatched &&
        (request.context_before > 0 || request.context_after > 0)) {
        shown.Widen(request.context_before, request.context_after);
        result.has_context = true;
    }
    if (mode == FilterMode::HideMatched) {
        std::vector<uint64_t>& words = shown.Words();
        for (uint64_t& word : words) {
            word = ~word;
        }
        if (!words.empty()) {
            words.back() &= shown.LastWordMask();
        }
    }
    result.shown.ShowSet(std::move(shown));
}

namespace {

bool IsQueryMode(QueryMode mode) {
    return mode == QueryMode::Naive || mode == QueryMode::Smart || mode == QueryMode::Regex;
}

bool IsFilterMode(FilterMode mode) {
    return mode == FilterMode::HideUnmatched || mode == FilterMode::HideMatched ||
           mode == FilterMode::ShowAll;
}

}  // namespace

void LineBits::Reset(size_t count) {
    words_.assign((count + 63) / 64, 0);
    size_ = count;
}

void LineBits::SetRange(size_t begin, size_t end) {
    for (; begin < end && (begin & 63) != 0; ++begin) {
        Set(begin);
    }
    for (; begin + 64 <= end; begin += 64) {
        words_[begin >> 6] = ~uint64_t{0};
    }
    for (; begin < end; ++begin) {
        Set(begin);
    }
}

void LineBits::Resize(size_t count) {
    words_.resize((count + 63) / 64);
    size_ = count;
    if (!words_.empty()) {
        words_.back() &= LastWordMask();
    }
}

namespace {

// dst |= src moved by shift bits toward higher bit numbers (up) or lower ones.
void OrShifted(std::vector<uint64_t>& dst, const std::vector<uint64_t>& src, size_t shift,
               bool up) {
    const size_t n = src.size();
    const size_t words = shift / 64;
    const unsigned bits = static_cast<unsigned>(shift % 64);
    if (words >= n) {
        return;
    }
    // Word w of src shifted: whole words first, then the bits across a word edge.
    auto at = [&](size_t w) { return w < n ? src[w] : uint64_t{0}; };
    for (size_t w = 0; w < n; ++w) {
        uint64_t moved = 0;
        if (up) {
            if (w >= words) {
                moved = at(w - words) << bits;
                if (bits != 0 && w > words) {
                    moved |= at(w - words - 1) >> (64 - bits);
                }
            }
        } else {
            moved = at(w + words) >> bits;
            if (bits != 0) {
                moved |= at(w + words + 1) << (64 - bits);
            }
        }
        dst[w] |= moved;
    }
}

// Bits with every shift of 0..count toward one side ORed in, by doubling.
std::vector<uint64_t> Spread(const std::vector<uint64_t>& words, size_t count, bool up) {
    std::vector<uint64_t> spread = words;
    for (size_t covered = 1; covered <= count;) {
        const size_t step = std::min(covered, count + 1 - covered);
        const std::vector<uint64_t> before = spread;
        OrShifted(spread, before, step, up);
        covered += step;
    }
    return spread;
}

}  // namespace

void LineBits::Widen(size_t before, size_t after) {
    if (words_.empty() || (before == 0 && after == 0)) {
        return;
    }
    std::vector<uint64_t> down = Spread(words_, std::min(before, size_), false);
    words_ = Spread(words_, std::min(after, size_), true);
    for (size_t w = 0; w < words_.size(); ++w) {
        words_[w] |= down[w];
    }
    words_.back() &= LastWordMask();
}

size_t LineBits::NextSet(size_t from) const {
    for (size_t w = from >> 6; w < words_.size(); ++w) {
        uint64_t word = words_[w];
        if (w == from >> 6) {
            word &= ~uint64_t{0} << (from & 63);
        }
        if (word != 0) {
            return w * 64 + static_cast<size_t>(std::countr_zero(word));
        }
    }
    return size_;
}

size_t LineBits::PreviousSet(size_t end) const {
    end = std::min(end, size_);
    for (size_t w = (end + 63) >> 6; w-- > 0;) {
        uint64_t word = words_[w];
        if (w == end >> 6) {
            word &= (uint64_t{1} << (end & 63)) - 1;
        }
        if (word != 0) {
            return w * 64 + 63 - static_cast<size_t>(std::countl_zero(word));
        }
    }
    return size_;
}

size_t LineBits::Count() const {
    size_t count = 0;
    for (uint64_t word : words_) {
        count += static_cast<size_t>(std::popcount(word));
    }
    return count;
}

void ShownLines::ShowAll(size_t count) {
    all_ = true;
    count_ = count;
    shown_ = count;
    bits_ = LineBits();
    directory_ = std::vector<uint64_t>();
}

void ShownLines::ShowSet(LineBits bits) {
    const std::vector<uint64_t>& words = bits.Words();
    std::vector<uint64_t> directory((words.size() + kWordsPerEntry - 1) / kWordsPerEntry);
    uint64_t before = 0;
    for (size_t w = 0; w < words.size(); ++w) {
        if (w % kWordsPerEntry == 0) {
            directory[w / kWordsPerEntry] = before;
        }
        before += static_cast<uint64_t>(std::popcount(words[w]));
    }
    all_ = false;
    count_ = bits.size();
    shown_ = before;
    bits_ = std::move(bits);
    directory_ = std::move(directory);
}

void ShownLines::ReplaceTail(size_t from, const LineBits& tail, bool allShown) {
    const size_t count = from + tail.size();
    if (all_ && allShown) {
        count_ = count;
        shown_ = count;
        return;
    }
    size_t rebuild = from / 64 / kWordsPerEntry;
    uint64_t before = rebuild < directory_.size() ? directory_[rebuild] : shown_;
    if (all_) {
        bits_.Reset(count_);
        bits_.SetRange(0, count_);
        directory_.clear();
        rebuild = 0;
        before = 0;
        all_ = false;
    }
    bits_.Resize(from);
    bits_.Resize(count);
    for (size_t i = 0; i < tail.size(); ++i) {
        if (allShown || tail.Test(i)) {
            bits_.Set(from + i);
        }
    }
    const std::vector<uint64_t>& words = bits_.Words();
    directory_.resize((words.size() + kWordsPerEntry - 1) / kWordsPerEntry);
    for (size_t w = rebuild * kWordsPerEntry; w < words.size(); ++w) {
        if (w % kWordsPerEntry == 0) {
            directory_[w / kWordsPerEntry] = before;
        }
        before += static_cast<uint64_t>(std::popcount(words[w]));
    }
    count_ = count;
    shown_ = before;
}

LineNo ShownLines::LineAt(ShownNo shown) const {
    const auto row = static_cast<size_t>(shown);
    if (all_) {
        return shown;
    }
    // The last directory entry with at most row shown lines before it.
    auto entry = std::upper_bound(directory_.begin(), directory_.end(), row) - 1;
    size_t left = row - *entry;
    const std::vector<uint64_t>& words = bits_.Words();
    for (size_t w = static_cast<size_t>(entry - directory_.begin()) * kWordsPerEntry;
         w < words.size(); ++w) {
        size_t inWord = static_cast<size_t>(std::popcount(words[w]));
        if (left < inWord) {
            uint64_t word = words[w];
            for (; left > 0; --left) {
                word &= word - 1;
            }
            return static_cast<LineNo>(w * 64 + static_cast<size_t>(std::countr_zero(word)));
        }
        left -= inWord;
    }
    return static_cast<LineNo>(count_);
}

ShownNo ShownLines::ShownOf(LineNo line) const {
    if (!Contains(line)) {
        return -1;
    }
    if (all_) {
        return line;
    }
    const std::vector<uint64_t>& words = bits_.Words();
    size_t w = static_cast<size_t>(line) >> 6;
    uint64_t before = directory_[w / kWordsPerEntry];
    for (size_t v = w / kWordsPerEntry * kWordsPerEntry; v < w; ++v) {
        before += static_cast<uint64_t>(std::popcount(words[v]));
    }
    uint64_t below = (uint64_t{1} << (line & 63)) - 1;
    before += static_cast<uint64_t>(std::popcount(words[w] & below));
    return static_cast<ShownNo>(before);
}

std::vector<size_t> ShownLines::ToVector() const {
    std::vector<size_t> lines;
    lines.reserve(shown_);
    ForEachRun(
        WordCount(), [this](size_t w) { return Word(w); },
        [&lines](size_t begin, size_t end) {
            for (size_t line = begin; line < end; ++line) {
                lines.push_back(line);
            }
        });
    return lines;
}

bool ValidateFilterRequest(const FilterRequest& request) {
    if (request.text.empty() || !IsQueryMode(request.query_mode) ||
        !IsFilterMode(request.filter_mode)) {
        return false;
    }
    if (request.query_mode == QueryMode::Regex) {
        RegexPattern pattern;
        return pattern.Compile(request.text, RegexSyntax::Perl);
    }
    return true;
}

FilterStatus RunFilterPass(const FilterRequest& request, const TextDocument& document,
                           FilterResult& result) {
    if (!request.text.empty() && !ValidateFilterRequest(request)) {
        return FilterStatus::Invalid;
    }
    ReadStatus read = ReadStatus::Ok;
    try {
        const size_t n = document.LineCount();
        result.matched.Reset(n);
        result.gave_up = false;
        result.undecided_lines = 0;
        if (!request.text.empty()) {
            CompiledQuery query(request.text, {.match_case = request.match_case,
                                               .whole_word = request.whole_word,
                                               .query_mode = request.query_mode});
            GiveUpBudget budget;
            read = EvaluateLines(query, document, 0, n, result.matched, budget);
            result.gave_up = budget.Exhausted();
            result.undecided_lines = budget.used.load();
            if (result.gave_up) {
                result.matched.Reset(n);
                result.undecided_lines = n;
            }
        }
        if (read == ReadStatus::Ok) {
            CollectShownLines(request, result);
            return FilterStatus::Done;
        }
    } catch (const std::bad_alloc&) {
        read = ReadStatus::OutOfMemory;
    }
    result = FilterResult();
    return read == ReadStatus::FileChanged ? FilterStatus::FileChanged : FilterStatus::OutOfMemory;
}

FilterStatus RunFilterPass(const FilterRequest& request, const TextDocument& document,
                           FilterResult& result, const FilterPassOptions& options) {
    if (!request.text.empty() && !ValidateFilterRequest(request)) {
        return FilterStatus::Invalid;
    }
    const size_t n = document.LineCount();
    FilterStatus status = FilterStatus::Done;
    try {
        FilterResult pass;
        pass.matched.Reset(n);
        if (!request.text.empty()) {
            CompiledQuery query(request.text, {.match_case = request.match_case,
                                               .whole_word = request.whole_word,
                                               .query_mode = request.query_mode});
            GiveUpBudget budget;
            status = EvaluateInChunks(query, document, pass.matched, budget, options);
            if (status == FilterStatus::Cancelled) {
                return status;
            }
            pass.gave_up = budget.Exhausted();
            pass.undecided_lines = budget.used.load();
            if (pass.gave_up) {
                pass.matched.Reset(n);
                pass.undecided_lines = n;
            }
        }
        if (status == FilterStatus::Done) {
            CollectShownLines(request, pass);
            if (Cancelled(options)) {
                return FilterStatus::Cancelled;
            }
            result = std::move(pass);
            return FilterStatus::Done;
        }
    } catch (const std::bad_alloc&) {
        status = FilterStatus::OutOfMemory;
    }
    result = FilterResult();
    return status;
}

void AppendShownLines(FilterMode mode, const LineBits& matched, size_t begin, size_t end,
                      std::vector<size_t>& out) {
    for (size_t line = begin; line < end; ++line) {
        if (mode == FilterMode::ShowAll ||
            matched.Test(line) == (mode == FilterMode::HideUnmatched)) {
            out.push_back(line);
        }
    }
}

void SetByteScanForTesting(bool enabled) {
    g_byte_scan = enabled;
}

void SetParallelFilterThresholdForTesting(size_t lines) {
    g_parallel_threshold = lines == 0 ? kParallelThreshold : lines;
}

}  // namespace linesift
