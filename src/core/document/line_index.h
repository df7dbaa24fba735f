#pragma once

#include <array>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace linesift {

// Where each line of a document starts, as offsets into its encoded text,
// in blocks of lines: a 64-bit base per block and a 32-bit offset from it per
// line, so a line costs 4 bytes. A block whose lines span 4 GiB or more keeps
// its later starts as 64-bit ones. Appending is constant time; blocks never
// move once made, so one thread may append while others read the starts
// below the size they saw (size() publishes each start with its append).
class LineIndex {
  public:
    static constexpr size_t kBlockShift = 14;
    static constexpr size_t kBlockLines = size_t{1} << kBlockShift;
    // Blocks are made in segments, segment s holding 2^s of them.
    static constexpr size_t kMaxSegments = 40;

    LineIndex() = default;
    LineIndex(LineIndex&& other) noexcept { *this = std::move(other); }
    LineIndex& operator=(LineIndex&& other) noexcept;

    // The starts appended so far; safe on any thread.
    size_t size() const { return size_.load(std::memory_order_acquire); }
    bool empty() const { return size() == 0; }

    uint64_t Start(size_t line) const {
        const Block& block = BlockOf(line);
        size_t k = line & (kBlockLines - 1);
        return k < block.narrow_end.load(std::memory_order_relaxed) ? block.base + block.narrow[k]
                                                                    : block.wide[k];
    }

    // Appends the start of the next line, which is not before the last one.
    // One thread at a time. Throws std::bad_alloc.
    void Append(uint64_t start) {
        const size_t n = size_.load(std::memory_order_relaxed);
        const size_t k = n & (kBlockLines - 1);
        if (k == 0) {
            AddBlock(n, start);
        }
        Block& block = *last_;
        uint64_t offset = start - block.base;
        if (k < block.narrow_end.load(std::memory_order_relaxed) && offset <= UINT32_MAX) {
            block.narrow[k] = static_cast<uint32_t>(offset);
        } else {
            Widen(block, k);
            block.wide[k] = start;
        }
        size_.store(n + 1, std::memory_order_release);
    }

    // Moves every start of other to the end of this index, freeing other's
    // blocks as it goes. Throws std::bad_alloc (other is then partly moved).
    void AppendAll(LineIndex&& other);
    // No thread may read meanwhile.
    void Clear();
    // Keeps the first count starts; nothing when count is not below size().
    // No thread may read meanwhile.
    void Truncate(size_t count);
    // The memory the index holds, in bytes.
    size_t MemoryBytes() const;

  private:
    struct Block {
        uint64_t base = 0;
        // Starts below narrow_end are offsets in narrow, the others are in
        // wide, made when the first offset did not fit.
        std::atomic<uint32_t> narrow_end{0};
        std::unique_ptr<uint32_t[]> narrow;
        std::unique_ptr<uint64_t[]> wide;
    };
    using Segment = std::unique_ptr<Block[]>;

    // Block b is entry x - 2^s of segment s, where x = b + 1 and 2^s <= x < 2^(s+1).
    static size_t SegmentOf(size_t x) { return static_cast<size_t>(std::bit_width(x)) - 1; }
    const Block& BlockOf(size_t line) const {
        size_t x = (line >> kBlockShift) + 1;
        size_t s = SegmentOf(x);
        return segments_[s][x - (size_t{1} << s)];
    }
    Block& BlockOf(size_t line) {
        return const_cast<Block&>(static_cast<const LineIndex*>(this)->BlockOf(line));
    }
    // Readies the block of line n (a multiple of kBlockLines), based at base.
    void AddBlock(size_t n, uint64_t base);
    // Gives block the 64-bit starts that begin at line k of it.
    static void Widen(Block& block, size_t k);

    std::array<Segment, kMaxSegments> segments_;
    Block* last_ = nullptr;  // the block being filled
    std::atomic<size_t> size_{0};
};

}  // namespace linesift
