#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace linesift {

// Where each line of a document starts, as offsets into its encoded text,
// in blocks of lines: a 64-bit base per block and a 32-bit offset from it per
// line, so a line costs 4 bytes. A block whose lines span 4 GiB or more keeps
// 64-bit starts instead. Appending is constant time; starts never move.
class LineIndex {
  public:
    static constexpr size_t kBlockShift = 14;
    static constexpr size_t kBlockLines = size_t{1} << kBlockShift;

    LineIndex() = default;
    LineIndex(LineIndex&&) noexcept = default;
    LineIndex& operator=(LineIndex&&) noexcept = default;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    uint64_t Start(size_t line) const {
        const Block& block = blocks_[line >> kBlockShift];
        size_t k = line & (kBlockLines - 1);
        return block.wide ? block.wide[k] : block.base + block.narrow[k];
    }

    // Appends the start of the next line, which is not before the last one.
    // Throws std::bad_alloc.
    void Append(uint64_t start) {
        size_t k = size_ & (kBlockLines - 1);
        if (k == 0) {
            AddBlock(start);
        }
        Block& block = blocks_.back();
        uint64_t offset = start - block.base;
        if (block.narrow && offset <= UINT32_MAX) {
            block.narrow[k] = static_cast<uint32_t>(offset);
        } else {
            Widen(block, k);
            block.wide[k] = start;
        }
        ++size_;
    }

    // Moves every start of other to the end of this index, freeing other's
    // blocks as it goes. Throws std::bad_alloc (other is then partly moved).
    void AppendAll(LineIndex&& other);
    void Clear();
    // Keeps the first count starts (count is at most size()).
    void Truncate(size_t count);
    // The memory the index holds, in bytes.
    size_t MemoryBytes() const;

  private:
    struct Block {
        uint64_t base = 0;
        std::unique_ptr<uint32_t[]> narrow;  // null once the block is wide
        std::unique_ptr<uint64_t[]> wide;
    };

    void AddBlock(uint64_t base);
    // Turns block's first count starts into 64-bit ones, when not yet done.
    static void Widen(Block& block, size_t count);

    std::vector<Block> blocks_;
    size_t size_ = 0;
};

}  // namespace linesift
