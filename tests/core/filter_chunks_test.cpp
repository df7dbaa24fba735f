// A filter pass run in chunks: the chunks, joined, give what one pass gives,
// and a cancelled pass leaves nothing that looks final.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "filter/filter_pass.h"
#include "test_lines.h"

namespace linesift {
namespace {

using Indices = std::vector<size_t>;

// Lines with a mix of matches: "error" on every 7th, "warn" on every 11th.
std::vector<std::u16string> MixedLines(size_t count) {
    std::vector<std::u16string> lines;
    lines.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        std::u16string line = u"line ";
        line += i % 7 == 0 ? u"error " : u"";
        line += i % 11 == 0 ? u"warn" : u"ok";
        lines.push_back(std::move(line));
    }
    return lines;
}

// The chunks as the pass reported them: their ranges, and the shown lines
// derived from each chunk's bits as they stood when it was reported.
struct Recorded {
    std::vector<std::pair<size_t, size_t>> ranges;
    Indices shown;
};

FilterPassOptions Recording(const FilterRequest& request, Recorded& recorded, size_t first) {
    return FilterPassOptions{
        .on_chunk =
            [&recorded, mode = request.filter_mode](const FilterChunk& chunk) {
                recorded.ranges.emplace_back(chunk.begin, chunk.end);
                AppendShownLines(mode, chunk.matched, chunk.begin, chunk.end, recorded.shown);
            },
        .first_chunk_lines = first,
        .chunk_ms = 0,  // no growth: chunks stay at their smallest
    };
}

TEST(FilterChunksTest, ChunksJoinedEqualOnePass) {
    struct Row {
        const char* name;
        FilterRequest request;
    };
    const Row rows[] = {
        {"hide unmatched", FilterRequest{.text = u"error"}},
        {"hide matched", FilterRequest{.text = u"warn", .filter_mode = FilterMode::HideMatched}},
        {"show all", FilterRequest{.text = u"error", .filter_mode = FilterMode::ShowAll}},
        {"regex", FilterRequest{.text = u"r{2}or w", .query_mode = QueryMode::Regex}},
        {"smart, whole word",
         FilterRequest{.text = u"ok", .whole_word = true, .query_mode = QueryMode::Smart}},
    };
    for (size_t count : {0, 1, 63, 64, 4095, 4096, 4097, 20000}) {
        test::TestLines store(MixedLines(count), test::TestLines::Source::File);
        for (size_t threshold : {size_t{64}, size_t{0}}) {
            SetParallelFilterThresholdForTesting(threshold);
            for (const Row& row : rows) {
                SCOPED_TRACE(std::string(row.name) + ", lines " + std::to_string(count) +
                             (threshold != 0 ? ", parallel" : ""));
                FilterResult whole;
                ASSERT_EQ(RunFilterPass(row.request, store.Document(), whole), FilterStatus::Done);
                Recorded recorded;
                FilterResult chunked;
                ASSERT_EQ(RunFilterPass(row.request, store.Document(), chunked,
                                        Recording(row.request, recorded, 100)),
                          FilterStatus::Done);
                EXPECT_EQ(chunked.shown.ToVector(), whole.shown.ToVector());
                EXPECT_EQ(chunked.matched.Words(), whole.matched.Words());
                EXPECT_EQ(recorded.shown, whole.shown.ToVector());
                size_t next = 0;
                for (auto [begin, end] : recorded.ranges) {
                    EXPECT_EQ(begin, next);
                    EXPECT_EQ(begin % 64, 0u);
                    EXPECT_LT(begin, end);
                    next = end;
                }
                EXPECT_EQ(next, count);
            }
        }
    }
    SetParallelFilterThresholdForTesting(0);
}

TEST(FilterChunksTest, ChunksGrowTowardTheirTime) {
    test::TestLines store(MixedLines(200000), test::TestLines::Source::Memory);
    std::vector<size_t> sizes;
    FilterResult result;
    ASSERT_EQ(
        RunFilterPass(FilterRequest{.text = u"error"}, store.Document(), result,
                      {.on_chunk = [&](const FilterChunk& c) { sizes.push_back(c.end - c.begin); },
                       .first_chunk_lines = 4096,
                       .chunk_ms = 1000}),
        FilterStatus::Done);
    ASSERT_GE(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], 4096u);
    EXPECT_EQ(sizes[1], 4 * 4096u);
}

TEST(FilterChunksTest, CancelledPassLeavesTheResultUntouched) {
    test::TestLines store(MixedLines(20000), test::TestLines::Source::Memory);
    struct Row {
        const char* name;
        size_t cancelAfterChunks;  // 0: raised before the pass starts
    };
    const Row rows[] = {{"before the first chunk", 0}, {"after one chunk", 1}, {"part-way", 5}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FilterResult result;
        ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"warn"}, store.Document(), result),
                  FilterStatus::Done);
        const Indices before = result.shown.ToVector();
        std::atomic<bool> cancel{row.cancelAfterChunks == 0};
        size_t chunks = 0;
        FilterStatus status =
            RunFilterPass(FilterRequest{.text = u"error"}, store.Document(), result,
                          {.cancel = &cancel,
                           .on_chunk =
                               [&](const FilterChunk&) {
                                   if (++chunks == row.cancelAfterChunks) {
                                       cancel = true;
                                   }
                               },
                           .first_chunk_lines = 128,
                           .chunk_ms = 0});
        EXPECT_EQ(status, FilterStatus::Cancelled);
        EXPECT_EQ(chunks, row.cancelAfterChunks);
        EXPECT_EQ(result.shown.ToVector(), before);
    }
}

TEST(FilterChunksTest, InvalidRequestIsNotRun) {
    test::TestLines store(MixedLines(10), test::TestLines::Source::Memory);
    FilterResult result;
    size_t chunks = 0;
    EXPECT_EQ(RunFilterPass(FilterRequest{.text = u"a(", .query_mode = QueryMode::Regex},
                            store.Document(), result,
                            {.on_chunk = [&](const FilterChunk&) { ++chunks; }}),
              FilterStatus::Invalid);
    EXPECT_EQ(chunks, 0u);
}

TEST(FilterChunksTest, PassThatGivesUpReportsNoMatch) {
    // Lines the engine gives up on, past the limit: the chunks reported before
    // the pass stopped are overruled by its result.
    std::vector<std::u16string> lines(300, std::u16string(40, u'a') + u"b");
    lines[0] = u"aaa";
    test::TestLines store(lines, test::TestLines::Source::Memory);
    FilterResult result;
    bool reportedMatch = false;
    ASSERT_EQ(RunFilterPass(FilterRequest{.text = u"(a+)+\\1$", .query_mode = QueryMode::Regex},
                            store.Document(), result,
                            {.on_chunk =
                                 [&](const FilterChunk& c) {
                                     reportedMatch = reportedMatch || c.matched.Test(0);
                                 },
                             .first_chunk_lines = 64,
                             .chunk_ms = 0}),
              FilterStatus::Done);
    EXPECT_TRUE(reportedMatch);
    EXPECT_TRUE(result.gave_up);
    EXPECT_TRUE(result.shown.empty());
    EXPECT_EQ(result.undecided_lines, lines.size());
}

}  // namespace
}  // namespace linesift
