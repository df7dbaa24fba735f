#pragma once

#include <cstdint>
#include <vector>

#include "document/line_numbers.h"

namespace linesift {

// The visual rows of the shown lines when word wrap splits them into pieces:
// a running count of rows, measured from the first shown line on, 4 bytes
// per measured line. The lines not measured yet take one row each, so the
// layout is usable while it is measured in steps; adding shown lines after
// the measured ones (a filter pass showing its rows in chunks) keeps it valid.
class RowLayout {
  public:
    // Nothing measured: every shown line takes one row.
    void Clear();
    void Reserve(ShownNo lines);
    // The shown lines measured so far: places [0, Measured()).
    ShownNo Measured() const { return static_cast<ShownNo>(ends_.size()); }
    // The next shown line, at place Measured(), takes rows rows (1 at least).
    void Append(RowNo rows);
    // Only the first keep shown lines stay measured; the others take one row
    // each again (lines that changed, or came after them).
    void Truncate(ShownNo keep);

    // The rows of the first shownCount shown lines.
    RowNo RowCount(ShownNo shownCount) const;
    // The first row of the shown line at place shown.
    RowNo FirstRow(ShownNo shown) const;
    // The rows the shown line at place shown takes.
    RowNo RowsOf(ShownNo shown) const;
    // The place of the shown line that row (0 or more) belongs to.
    ShownNo ShownAt(RowNo row) const;

  private:
    RowNo MeasuredRows() const { return ends_.empty() ? 0 : ends_.back(); }

    // The rows of the measured lines up to and including each; saturates at
    // the largest uint32_t, far beyond the rows a scroll bar can reach.
    std::vector<uint32_t> ends_;
};

}  // namespace linesift
