// The rows of wrapped shown lines: a running count, usable while measured.
#include "filter/row_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace linesift {
namespace {

// The row layout against a plain list with one entry per row.
TEST(RowLayoutTest, RowsAndShownLinesAgreeWithAPlainExpansion) {
    struct Case {
        const char* name;
        std::vector<RowNo> rows;  // the rows of each measured line
        ShownNo shown;            // the shown lines, measured or not
    };
    const Case cases[] = {
        {"nothing measured", {}, 4},
        {"every line one row", {1, 1, 1}, 3},
        {"wrapped lines among short ones", {1, 3, 1, 2}, 4},
        {"measured part first, the rest one row each", {2, 5}, 6},
        {"no lines", {}, 0},
        {"a zero count takes a row", {0, 2}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RowLayout layout;
        std::vector<ShownNo> plain;  // the shown line of each row
        for (size_t k = 0; k < c.rows.size(); ++k) {
            layout.Append(c.rows[k]);
            for (RowNo r = 0; r < std::max<RowNo>(c.rows[k], 1); ++r) {
                plain.push_back(static_cast<ShownNo>(k));
            }
        }
        for (auto k = static_cast<ShownNo>(c.rows.size()); k < c.shown; ++k) {
            plain.push_back(k);
        }
        ASSERT_EQ(layout.Measured(), static_cast<ShownNo>(c.rows.size()));
        ASSERT_EQ(layout.RowCount(c.shown), static_cast<RowNo>(plain.size()));
        for (size_t row = 0; row < plain.size(); ++row) {
            const ShownNo shown = layout.ShownAt(static_cast<RowNo>(row));
            ASSERT_EQ(shown, plain[row]) << "row " << row;
            const RowNo first = layout.FirstRow(shown);
            ASSERT_EQ(plain[static_cast<size_t>(first)], shown);
            ASSERT_TRUE(first == 0 || plain[static_cast<size_t>(first - 1)] != shown);
            const RowNo rows = layout.RowsOf(shown);
            ASSERT_EQ(plain[static_cast<size_t>(first + rows - 1)], shown);
            ASSERT_TRUE(static_cast<size_t>(first + rows) == plain.size() ||
                        plain[static_cast<size_t>(first + rows)] != shown);
        }
        layout.Clear();
        EXPECT_EQ(layout.RowCount(c.shown), c.shown);
    }
}

// A layout stays valid while shown lines are added after the measured ones,
// as a filter pass's chunks add them.
TEST(RowLayoutTest, LinesAddedAfterTheMeasuredOnesKeepTheLayout) {
    RowLayout layout;
    layout.Append(3);
    layout.Append(1);
    EXPECT_EQ(layout.RowCount(2), 4);
    EXPECT_EQ(layout.RowCount(10), 12);
    EXPECT_EQ(layout.ShownAt(11), 9);
    EXPECT_EQ(layout.FirstRow(9), 11);
    layout.Append(2);
    EXPECT_EQ(layout.RowCount(10), 13);
    EXPECT_EQ(layout.ShownAt(4), 2);
    EXPECT_EQ(layout.ShownAt(5), 2);
    EXPECT_EQ(layout.ShownAt(6), 3);
}

// A followed file's last line may be read again: its measurement and the
// later ones go, and those lines take one row each until measured again.
TEST(RowLayoutTest, TruncateForgetsTheLaterLines) {
    RowLayout layout;
    layout.Append(3);
    layout.Append(2);
    layout.Append(4);
    layout.Truncate(1);
    EXPECT_EQ(layout.Measured(), 1);
    EXPECT_EQ(layout.RowCount(5), 7);
    EXPECT_EQ(layout.ShownAt(3), 1);
    layout.Append(5);
    EXPECT_EQ(layout.FirstRow(2), 8);
    layout.Truncate(4);  // more than measured: nothing changes
    layout.Truncate(-1);
    EXPECT_EQ(layout.Measured(), 2);
}

}  // namespace
}  // namespace linesift
