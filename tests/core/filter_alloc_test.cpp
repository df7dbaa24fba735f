// A filter pass allocates nothing per line: the number of heap allocations
// of a pass is the same for a document ten times longer. Counts every
// operator new of the process, so it has an executable of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "filter/filter_pass.h"
#include "test_lines.h"

namespace {
std::atomic<long> g_allocations{0};
}  // namespace

namespace {

void* CountedAlloc(size_t size) noexcept {
    ++g_allocations;
    return std::malloc(size == 0 ? 1 : size);
}

void* CountedAllocOrThrow(size_t size) {
    if (void* p = CountedAlloc(size)) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

// Every unaligned form, so that no allocation is paired with another
// allocator's release (the sanitizer's, say).
void* operator new(size_t size) {
    return CountedAllocOrThrow(size);
}
void* operator new[](size_t size) {
    return CountedAllocOrThrow(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void* operator new[](size_t size, const std::nothrow_t&) noexcept {
    return CountedAlloc(size);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}

namespace linesift {
namespace {

std::vector<std::u16string> Document(size_t copies) {
    const std::vector<std::u16string> sample = {
        u"2026-12-08 INFO  Request 83001 completed in 95 ms user=dave status=204",
        u"2026-12-08 ERROR Processed batch: IllegalStateException: bad state",
        u"",
        u"2026-12-08 DEBUG Payload \U0001F600 {\"user\":\"alice\"} status=503 user=alice",
        u"Stra\u00DFe \u00C9T\u00C9 \u212Aelvin \xD800 lone",
    };
    std::vector<std::u16string> lines;
    for (size_t i = 0; i < copies; ++i) {
        lines.insert(lines.end(), sample.begin(), sample.end());
    }
    return lines;
}

long AllocationsOfPass(const FilterRequest& request, size_t copies) {
    test::TestLines store(Document(copies), test::TestLines::Source::File);
    FilterResult result;
    RunFilterPass(request, store.Document(), result);  // warms up lazily built tables
    long before = g_allocations.load();
    EXPECT_EQ(RunFilterPass(request, store.Document(), result), FilterStatus::Done);
    return g_allocations.load() - before;
}

TEST(FilterAllocationTest, PassAllocatesNothingPerLine) {
    using M = QueryMode;
    const FilterRequest requests[] = {
        {.text = u"error"},
        {.text = u"-debug"},
        {.text = u"user -debug \"status=5\""},
        {.text = u"err", .query_mode = M::Smart},
        {.text = u"error", .whole_word = true},
        {.text = u"\U0001F600 {", .query_mode = M::Smart},
        {.text = u"user=(alice|bob) status=5[0-9]{2}", .query_mode = M::Regex},
        {.text = u"\\w+Exception: ", .query_mode = M::Regex},
        {.text = u"\\d+", .query_mode = M::Regex},
        {.text = u"e", .filter_mode = FilterMode::ShowAll},
    };
    for (size_t threshold : {SIZE_MAX, size_t{64}}) {
        SetParallelFilterThresholdForTesting(threshold);
        for (const FilterRequest& request : requests) {
            SCOPED_TRACE(std::string(request.text.begin(), request.text.end()));
            // Threads that search at the same moment may take a fresh block
            // from the engine's memory cache: a few allocations, not per line.
            EXPECT_LE(AllocationsOfPass(request, 5000), AllocationsOfPass(request, 500) + 4);
        }
    }
    SetParallelFilterThresholdForTesting(0);
}

}  // namespace
}  // namespace linesift
