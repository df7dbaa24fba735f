#pragma once

#include <atomic>
#include <cstddef>

#include "filter/filter_pass.h"

namespace linesift {

// Decides lines [begin, end) of document for request, for lines a followed
// file appended: bit i of matched stands for line begin + i, and none is set
// for an empty text. A line the engine gives up on does not match. Done,
// Invalid (matched untouched), Cancelled when cancel was raised, FileChanged
// or OutOfMemory (matched empty). Reads the document only.
FilterStatus FilterRange(const FilterRequest& request, const TextDocument& document, size_t begin,
                         size_t end, LineBits& matched, const std::atomic<bool>* cancel = nullptr);

}  // namespace linesift
