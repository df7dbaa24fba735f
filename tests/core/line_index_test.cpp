#include "document/line_index.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace linesift {
namespace {

constexpr size_t kBlock = LineIndex::kBlockLines;

// Starts over three blocks; the second block jumps past 4 GiB part-way, so
// its later starts are wide ones.
std::vector<uint64_t> Starts() {
    std::vector<uint64_t> starts;
    uint64_t at = 0;
    for (size_t line = 0; line < 3 * kBlock; ++line) {
        starts.push_back(at);
        at += line == kBlock + 100 ? (uint64_t{5} << 30) : 17;
    }
    return starts;
}

// Truncating and appending the same starts again gives the index that
// appending them once gives: a followed file cut back and grown anew.
TEST(LineIndexTest, TruncateThenAppendAgainKeepsEveryStart) {
    const std::vector<uint64_t> starts = Starts();
    struct Row {
        const char* name;
        size_t keep;
    };
    const Row rows[] = {
        {"nothing", 0},
        {"inside the first block", 10},
        {"at a block boundary", kBlock},
        {"before the wide starts", kBlock + 50},
        {"after the wide starts", kBlock + 200},
        {"inside the last block", 2 * kBlock + 7},
        {"everything", 3 * kBlock},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LineIndex index;
        for (uint64_t start : starts) {
            index.Append(start);
        }
        index.Truncate(row.keep);
        ASSERT_EQ(index.size(), row.keep);
        for (size_t line = 0; line < row.keep; ++line) {
            ASSERT_EQ(index.Start(line), starts[line]) << line;
        }
        for (size_t line = row.keep; line < starts.size(); ++line) {
            index.Append(starts[line]);
        }
        ASSERT_EQ(index.size(), starts.size());
        for (size_t line = 0; line < starts.size(); ++line) {
            ASSERT_EQ(index.Start(line), starts[line]) << line;
        }
    }
}

}  // namespace
}  // namespace linesift
