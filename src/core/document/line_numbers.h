#pragma once

#include <cstdint>

namespace linesift {

// The three kinds of index a list deals in. Each is signed; -1 means "none"
// where a function says it may return it (a hidden line has no ShownNo, a
// point below the last row has no RowNo).
//
// LineNo: a line of the document, 0 for its first line, whether shown or not.
using LineNo = int64_t;
// ShownNo: a place among the lines the current filter shows, 0 for the first
// shown line. Without a filter it equals the LineNo.
using ShownNo = int64_t;
// RowNo: a visual row of the list. Without word wrap it equals the ShownNo;
// with it a shown line takes one row per wrapped piece.
using RowNo = int64_t;

}  // namespace linesift
