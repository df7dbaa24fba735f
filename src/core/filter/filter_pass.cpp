#include "filter/filter_pass.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <chrono>
#include <functional>
#include <new>
#include <numeric>
#include <system_error>
#include <thread>

#include "document/line_store.h"

namespace linesift {
namespace {

constexpr size_t kParallelThreshold = size_t{1} << 15;
std::atomic<size_t> g_parallel_threshold{kParallelThreshold};
// Lines scanned as one stretch of text at most, so their records stay in cache.
constexpr size_t kRunLines = 4096;
constexpr size_t kMaxThreads = 8;
// A pass stops once the engine has given up on this many lines (each costs it
// at least some hundred thousand steps): such a query matches no line.
constexpr size_t kMaxGiveUps = 100;

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

const char16_t* LineEnd(const DocumentLine& line) {
    return line.data + line.length;
}

// The end of the stretch of lines from begin whose texts follow each other
// in memory without a gap.
size_t ContiguousRunEnd(const LineStore& lines, size_t begin, size_t end) {
    size_t limit = std::min(end, begin + kRunLines);
    size_t j = begin + 1;
    while (j < limit && lines[j].data == LineEnd(lines[j - 1])) {
        ++j;
    }
    return j;
}

// Scans the text of lines [a, b), which lie back to back in memory, for the
// prefilter's literal: lines without it get its verdict at once, the others
// are evaluated (or decided by the hit).
void ScanRun(CompiledQuery& query, const CompiledQuery::Prefilter& prefilter,
             const LineStore& lines, size_t a, size_t b, LineBits& bits, GiveUpBudget& budget) {
    const UnitFinder& finder = *prefilter.finder;
    const size_t m = finder.Needle().size();
    const char16_t* textEnd = LineEnd(lines[b - 1]);
    const char16_t* from = lines[a].data;
    size_t k = a;
    while (k < b) {
        const char16_t* hit = finder.Find(from, textEnd);
        if (hit == nullptr) {
            break;
        }
        size_t first = k;
        while (hit >= LineEnd(lines[k])) {
            ++k;
        }
        if (prefilter.verdict_without) {
            bits.SetRange(first, k);
        }
        if (hit + m > LineEnd(lines[k])) {
            from = hit + 1;
            continue;
        }
        if (budget.Exhausted()) {
            return;
        }
        bool matched = prefilter.hit_decides ? !prefilter.verdict_without
                                             : Evaluate(query, lines[k].text(), budget);
        if (matched) {
            bits.Set(k);
        }
        from = LineEnd(lines[k]);
        ++k;
    }
    if (prefilter.verdict_without) {
        bits.SetRange(k, b);
    }
}

void EvaluateRange(CompiledQuery& query, const LineStore& lines, size_t begin, size_t end,
                   LineBits& bits, GiveUpBudget& budget) {
    CompiledQuery::Prefilter prefilter = query.GetPrefilter();
    if (prefilter.finder == nullptr) {
        for (size_t i = begin; i < end && !budget.Exhausted(); ++i) {
            if (Evaluate(query, lines[i].text(), budget)) {
                bits.Set(i);
            }
        }
        return;
    }
    for (size_t i = begin; i < end && !budget.Exhausted();) {
        size_t runEnd = ContiguousRunEnd(lines, i, end);
        ScanRun(query, prefilter, lines, i, runEnd, bits, budget);
        i = runEnd;
    }
}

// Splits the lines into one range per thread, each starting at a multiple of
// 64 so that no two threads write the same word of bits. Each thread has its
// own copy of the query.
// Evaluates lines [begin, end); begin is a multiple of 64.
void EvaluateLines(CompiledQuery& query, const LineStore& lines, size_t begin, size_t end,
                   LineBits& bits, GiveUpBudget& budget) {
    const size_t n = end - begin;
    size_t threads = std::min<size_t>(std::thread::hardware_concurrency(), kMaxThreads);
    if (n < g_parallel_threshold.load() || threads < 2) {
        EvaluateRange(query, lines, begin, end, bits, budget);
        return;
    }
    const size_t step = ((n + threads - 1) / threads + 63) & ~size_t{63};
    std::vector<CompiledQuery> copies(threads - 1, query);
    std::vector<std::thread> workers;
    std::atomic<bool> failed{false};
    auto guarded = [&](CompiledQuery& own, size_t t) {
        try {
            EvaluateRange(own, lines, begin + t * step, std::min(end, begin + (t + 1) * step), bits,
                          budget);
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
    if (failed) {
        throw std::bad_alloc();
    }
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

// Evaluates the lines chunk by chunk, reporting each; false when cancelled.
bool EvaluateInChunks(CompiledQuery& query, const LineStore& lines, LineBits& bits,
                      GiveUpBudget& budget, const FilterPassOptions& options) {
    using Clock = std::chrono::steady_clock;
    const size_t n = lines.size();
    size_t chunk = std::max<size_t>((options.first_chunk_lines + 63) & ~size_t{63}, 64);
    for (size_t begin = 0; begin < n && !budget.Exhausted();) {
        if (Cancelled(options)) {
            return false;
        }
        const size_t end = std::min(n, begin + chunk);
        const Clock::time_point start = Clock::now();
        EvaluateLines(query, lines, begin, end, bits, budget);
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        if (options.on_chunk && !budget.Exhausted()) {
            options.on_chunk(FilterChunk{.begin = begin, .end = end, .total = n, .matched = bits});
        }
        chunk = NextChunkLines(end - begin, took.count(), options.chunk_ms);
        begin = end;
    }
    return !Cancelled(options);
}

void CollectShown(FilterMode mode, FilterResult& result) {
    std::vector<size_t>& shown = result.shown_lines;
    const LineBits& bits = result.matched;
    shown.clear();
    if (mode == FilterMode::ShowAll) {
        shown.resize(bits.size());
        std::iota(shown.begin(), shown.end(), size_t{0});
        return;
    }
    const bool wanted = mode == FilterMode::HideUnmatched;
    size_t matched = bits.Count();
    shown.reserve(wanted ? matched : bits.size() - matched);
    const std::vector<uint64_t>& words = bits.Words();
    for (size_t w = 0; w < words.size(); ++w) {
        uint64_t word = wanted ? words[w] : ~words[w];
        if (!wanted && w + 1 == words.size() && bits.size() % 64 != 0) {
            word &= (uint64_t{1} << (bits.size() % 64)) - 1;
        }
        for (; word != 0; word &= word - 1) {
            shown.push_back(w * 64 + static_cast<size_t>(std::countr_zero(word)));
        }
    }
}

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

size_t LineBits::Count() const {
    size_t count = 0;
    for (uint64_t word : words_) {
        count += static_cast<size_t>(std::popcount(word));
    }
    return count;
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

bool RunFilterPass(const FilterRequest& request, const LineStore& lines, FilterResult& result) {
    if (!request.text.empty() && !ValidateFilterRequest(request)) {
        return false;
    }
    try {
        result.matched.Reset(lines.size());
        result.gave_up = false;
        result.undecided_lines = 0;
        if (!request.text.empty()) {
            CompiledQuery query(request.text, {.match_case = request.match_case,
                                               .whole_word = request.whole_word,
                                               .query_mode = request.query_mode});
            GiveUpBudget budget;
            EvaluateLines(query, lines, 0, lines.size(), result.matched, budget);
            result.gave_up = budget.Exhausted();
            result.undecided_lines = budget.used.load();
            if (result.gave_up) {
                result.matched.Reset(lines.size());
                result.undecided_lines = lines.size();
            }
        }
        CollectShown(request.text.empty() ? FilterMode::ShowAll : request.filter_mode, result);
        return true;
    } catch (const std::bad_alloc&) {
        result.matched = LineBits();
        result.shown_lines = std::vector<size_t>();
        return false;
    }
}

FilterStatus RunFilterPass(const FilterRequest& request, const LineStore& lines,
                           FilterResult& result, const FilterPassOptions& options) {
    if (!request.text.empty() && !ValidateFilterRequest(request)) {
        return FilterStatus::Invalid;
    }
    try {
        FilterResult pass;
        pass.matched.Reset(lines.size());
        if (!request.text.empty()) {
            CompiledQuery query(request.text, {.match_case = request.match_case,
                                               .whole_word = request.whole_word,
                                               .query_mode = request.query_mode});
            GiveUpBudget budget;
            if (!EvaluateInChunks(query, lines, pass.matched, budget, options)) {
                return FilterStatus::Cancelled;
            }
            pass.gave_up = budget.Exhausted();
            pass.undecided_lines = budget.used.load();
            if (pass.gave_up) {
                pass.matched.Reset(lines.size());
                pass.undecided_lines = lines.size();
            }
        }
        CollectShown(request.text.empty() ? FilterMode::ShowAll : request.filter_mode, pass);
        if (Cancelled(options)) {
            return FilterStatus::Cancelled;
        }
        result = std::move(pass);
        return FilterStatus::Done;
    } catch (const std::bad_alloc&) {
        result = FilterResult();
        return FilterStatus::OutOfMemory;
    }
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

void SetParallelFilterThresholdForTesting(size_t lines) {
    g_parallel_threshold = lines == 0 ? kParallelThreshold : lines;
}

}  // namespace linesift
