#include "filter/row_layout.h"

#include <algorithm>
#include <limits>

namespace linesift {

void RowLayout::Clear() {
    ends_.clear();
}

void RowLayout::Reserve(ShownNo lines) {
    ends_.reserve(static_cast<size_t>(std::max<ShownNo>(lines, 0)));
}

void RowLayout::Append(RowNo rows) {
    constexpr RowNo kMax = std::numeric_limits<uint32_t>::max();
    ends_.push_back(
        static_cast<uint32_t>(std::min(MeasuredRows() + std::max<RowNo>(rows, 1), kMax)));
}

void RowLayout::Truncate(ShownNo keep) {
    if (keep >= 0 && keep < Measured()) {
        ends_.resize(static_cast<size_t>(keep));
    }
}

RowNo RowLayout::RowCount(ShownNo shownCount) const {
    if (shownCount <= Measured()) {
        return FirstRow(shownCount);
    }
    return MeasuredRows() + (shownCount - Measured());
}

RowNo RowLayout::FirstRow(ShownNo shown) const {
    if (shown <= 0) {
        return 0;
    }
    if (shown <= Measured()) {
        return ends_[static_cast<size_t>(shown - 1)];
    }
    return MeasuredRows() + (shown - Measured());
}

RowNo RowLayout::RowsOf(ShownNo shown) const {
    if (shown < 0 || shown >= Measured()) {
        return 1;
    }
    return FirstRow(shown + 1) - FirstRow(shown);
}

ShownNo RowLayout::ShownAt(RowNo row) const {
    if (row >= MeasuredRows()) {
        return Measured() + (row - MeasuredRows());
    }
    auto it =
        std::upper_bound(ends_.begin(), ends_.end(), static_cast<uint64_t>(std::max<RowNo>(row, 0)),
                         [](uint64_t r, uint32_t end) { return r < end; });
    return static_cast<ShownNo>(it - ends_.begin());
}

}  // namespace linesift
