#include "document/line_index.h"

#include <algorithm>
#include <new>
#include <utility>

namespace linesift {

LineIndex& LineIndex::operator=(LineIndex&& other) noexcept {
    if (this != &other) {
        segments_ = std::move(other.segments_);
        last_ = std::exchange(other.last_, nullptr);
        size_.store(other.size_.exchange(0, std::memory_order_relaxed), std::memory_order_release);
    }
    return *this;
}

void LineIndex::AddBlock(size_t n, uint64_t base) {
    const size_t x = (n >> kBlockShift) + 1;
    const size_t s = SegmentOf(x);
    if (s >= kMaxSegments) {
        throw std::bad_alloc();
    }
    if (!segments_[s]) {
        segments_[s] = std::make_unique<Block[]>(size_t{1} << s);
    }
    Block& block = segments_[s][x - (size_t{1} << s)];
    block.narrow.reset(new uint32_t[kBlockLines]);
    block.base = base;
    block.narrow_end.store(static_cast<uint32_t>(kBlockLines), std::memory_order_relaxed);
    last_ = &block;
}

void LineIndex::Widen(Block& block, size_t k) {
    if (block.wide) {
        return;
    }
    block.wide.reset(new uint64_t[kBlockLines]);
    block.narrow_end.store(static_cast<uint32_t>(k), std::memory_order_relaxed);
}

void LineIndex::AppendAll(LineIndex&& other) {
    if (empty()) {
        *this = std::move(other);
        other.Clear();
        return;
    }
    const size_t total = other.size();
    for (size_t line = 0; line < total; line += kBlockLines) {
        Block& block = other.BlockOf(line);
        const size_t count = std::min(kBlockLines, total - line);
        for (size_t k = 0; k < count; ++k) {
            Append(other.Start(line + k));
        }
        block.narrow.reset();
        block.wide.reset();
    }
    other.Clear();
}

void LineIndex::Clear() {
    for (Segment& segment : segments_) {
        segment.reset();
    }
    last_ = nullptr;
    size_.store(0, std::memory_order_release);
}

void LineIndex::Truncate(size_t count) {
    const size_t n = size();
    if (count >= n) {
        return;
    }
    // The blocks past the one that keeps the last start are emptied, so
    // appending makes them anew.
    const size_t keptBlocks = (count + kBlockLines - 1) >> kBlockShift;
    for (size_t line = keptBlocks << kBlockShift; line < n; line += kBlockLines) {
        Block& block = BlockOf(line);
        block.narrow.reset();
        block.wide.reset();
        block.narrow_end.store(0, std::memory_order_relaxed);
    }
    if (const size_t k = count & (kBlockLines - 1); k != 0) {
        // The next starts of the kept block go where a later wide start would.
        Block& block = BlockOf(count);
        if (block.wide && block.narrow_end.load(std::memory_order_relaxed) > k) {
            block.narrow_end.store(static_cast<uint32_t>(k), std::memory_order_relaxed);
        }
    }
    last_ = count == 0 ? nullptr : &BlockOf(count - 1);
    size_.store(count, std::memory_order_release);
}

size_t LineIndex::MemoryBytes() const {
    size_t bytes = 0;
    for (size_t s = 0; s < kMaxSegments && segments_[s]; ++s) {
        bytes += (size_t{1} << s) * sizeof(Block);
        for (size_t b = 0; b < (size_t{1} << s); ++b) {
            const Block& block = segments_[s][b];
            bytes += block.narrow ? kBlockLines * sizeof(uint32_t) : 0;
            bytes += block.wide ? kBlockLines * sizeof(uint64_t) : 0;
        }
    }
    return bytes;
}

}  // namespace linesift
