#include "document/line_store.h"

#include <sys/mman.h>

#include <algorithm>
#include <new>

namespace linesift {

TextArena::~TextArena() {
    Clear();
}

char16_t* TextArena::Reserve(size_t units) {
    size_t bytes = std::max<size_t>(units * sizeof(char16_t), 4096);
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    if (bytes >= (size_t{2} << 20)) {
        // Huge pages make first-touching gigabytes of text several times cheaper.
        ::madvise(p, bytes, MADV_HUGEPAGE);
    }
    try {
        regions_.push_back({p, bytes});
    } catch (...) {
        ::munmap(p, bytes);
        return nullptr;
    }
    return static_cast<char16_t*>(p);
}

void TextArena::Discard(char16_t* from, size_t units) {
    const uintptr_t page = 4096;
    uintptr_t begin = (reinterpret_cast<uintptr_t>(from) + page - 1) & ~(page - 1);
    uintptr_t end = (reinterpret_cast<uintptr_t>(from + units)) & ~(page - 1);
    if (end > begin) {
        ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
    }
}

void TextArena::Clear() {
    for (const Region& r : regions_) {
        ::munmap(r.base, r.bytes);
    }
    regions_.clear();
}

void LineStore::Grow() {
    blocks_.push_back(std::unique_ptr<DocumentLine[]>(new DocumentLine[kBlockSize]));
}

void LineStore::AppendAll(LineStore&& other) {
    for (size_t i = 0; i < other.size_; ++i) {
        const DocumentLine& line = other[i];
        Append(line.data, line.length);
    }
    other.Clear();
}

void LineStore::Clear() {
    blocks_.clear();
    size_ = 0;
}

}  // namespace linesift
