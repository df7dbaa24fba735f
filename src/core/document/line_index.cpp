#include "document/line_index.h"

#include <algorithm>

namespace linesift {

void LineIndex::AddBlock(uint64_t base) {
    Block block;
    block.base = base;
    block.narrow.reset(new uint32_t[kBlockLines]);
    blocks_.push_back(std::move(block));
}

void LineIndex::Widen(Block& block, size_t count) {
    if (block.wide) {
        return;
    }
    block.wide.reset(new uint64_t[kBlockLines]);
    for (size_t k = 0; k < count; ++k) {
        block.wide[k] = block.base + block.narrow[k];
    }
    block.narrow.reset();
}

void LineIndex::AppendAll(LineIndex&& other) {
    if (empty()) {
        *this = std::move(other);
        other.Clear();
        return;
    }
    size_t line = 0;
    for (Block& block : other.blocks_) {
        size_t count = std::min(kBlockLines, other.size_ - line);
        for (size_t k = 0; k < count; ++k) {
            Append(block.wide ? block.wide[k] : block.base + block.narrow[k]);
        }
        line += count;
        block.narrow.reset();
        block.wide.reset();
    }
    other.Clear();
}

void LineIndex::Clear() {
    blocks_.clear();
    blocks_.shrink_to_fit();
    size_ = 0;
}

void LineIndex::Truncate(size_t count) {
    if (count < size_) {
        blocks_.resize((count + kBlockLines - 1) >> kBlockShift);
        size_ = count;
    }
}

size_t LineIndex::MemoryBytes() const {
    size_t bytes = blocks_.capacity() * sizeof(Block);
    for (const Block& block : blocks_) {
        bytes += block.wide ? kBlockLines * sizeof(uint64_t) : kBlockLines * sizeof(uint32_t);
    }
    return bytes;
}

}  // namespace linesift
