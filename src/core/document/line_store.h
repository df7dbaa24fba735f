#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace linesift {

// One line of the document: its text without the line ending, the rows it
// occupies in the list view, and whether it is selected. 16 bytes; the text
// lives in the document's TextArena. A line's place in the document is its
// index; its neighbours are the lines at index - 1 and + 1.
struct DocumentLine {
    const char16_t* data;
    uint32_t length;
    uint32_t rowCount : 31;  // 1 unless the list view wraps the line
    uint32_t selected : 1;

    std::u16string_view text() const { return {data, length}; }
};
static_assert(sizeof(DocumentLine) == 16);

// Memory for line texts: large anonymous mappings reserved up front and
// filled in place. Reserved pages that are never written cost no memory.
// Text never moves once written.
class TextArena {
  public:
    TextArena() = default;
    ~TextArena();
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;
    // The regions move with the arena; the moved-from arena is empty.
    TextArena(TextArena&& other) noexcept : regions_(std::exchange(other.regions_, {})) {}
    TextArena& operator=(TextArena&& other) noexcept {
        if (this != &other) {
            Clear();
            regions_ = std::exchange(other.regions_, {});
        }
        return *this;
    }

    // Reserves room for units UTF-16 units; null when the address space is exhausted.
    char16_t* Reserve(size_t units);
    // Gives the pages of [from, from + units) back (they were reserved but
    // are not needed); the range stays addressable.
    static void Discard(char16_t* from, size_t units);
    void Clear();

  private:
    struct Region {
        void* base;
        size_t bytes;
    };
    std::vector<Region> regions_;
};

// The document's lines in order, in fixed blocks: appending is constant time
// and records never move.
class LineStore {
  public:
    LineStore() = default;
    // The records move with the store; the moved-from store is empty.
    LineStore(LineStore&& other) noexcept
        : blocks_(std::move(other.blocks_)), size_(std::exchange(other.size_, 0)) {}
    LineStore& operator=(LineStore&& other) noexcept {
        blocks_ = std::move(other.blocks_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    static constexpr size_t kBlockShift = 16;
    static constexpr size_t kBlockSize = size_t{1} << kBlockShift;

    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    DocumentLine& operator[](size_t i) { return blocks_[i >> kBlockShift][i & (kBlockSize - 1)]; }
    const DocumentLine& operator[](size_t i) const {
        return blocks_[i >> kBlockShift][i & (kBlockSize - 1)];
    }

    // Appends a new line (rowCount 1, not selected). Throws std::bad_alloc.
    void Append(const char16_t* data, uint32_t length) {
        if ((size_ & (kBlockSize - 1)) == 0) {
            Grow();
        }
        blocks_[size_ >> kBlockShift][size_ & (kBlockSize - 1)] = DocumentLine{data, length, 1, 0};
        ++size_;
    }
    // Moves all lines of other to the end of this store.
    void AppendAll(LineStore&& other);
    void Clear();

  private:
    void Grow();

    std::vector<std::unique_ptr<DocumentLine[]>> blocks_;
    size_t size_ = 0;
};

}  // namespace linesift
