#include "document/mapped_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/mapped_read_guard.h"

namespace linesift {

// FileMapping

FileMapping::~FileMapping() {
    CloseMapping();
}

bool FileMapping::CreateMapping(int fd, uint64_t size, bool writable) {
    if (HasMapping() || fd < 0) {
        return false;
    }
    UnmapView();
    fd_ = fd;
    mapping_limit_ = size;
    writable_ = writable;
    return true;
}

void* FileMapping::MapView(uint64_t offset, uint64_t size) {
    static const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    if (!HasMapping() || view_ != nullptr || offset % page != 0 || offset >= mapping_limit_) {
        return nullptr;
    }
    if (size == 0 || offset + size > mapping_limit_) {
        size = mapping_limit_ - offset;
    }
    int prot = writable_ ? (PROT_READ | PROT_WRITE) : PROT_READ;
    void* p = ::mmap(nullptr, size, prot, MAP_SHARED, fd_, static_cast<off_t>(offset));
    if (p == MAP_FAILED) {
        return nullptr;
    }
    view_ = p;
    view_offset_ = offset;
    view_size_ = size;
    return p;
}

void* FileMapping::RemapView(uint64_t offset, uint64_t size) {
    if (!HasMapping() || !UnmapView()) {
        return nullptr;
    }
    return MapView(offset, size);
}

bool FileMapping::UnmapView() {
    if (view_ != nullptr && ::munmap(view_, view_size_) != 0) {
        return false;
    }
    view_ = nullptr;
    view_offset_ = 0;
    view_size_ = 0;
    return true;
}

bool FileMapping::CloseMapping() {
    if (!HasMapping()) {
        return true;
    }
    if (!UnmapView()) {
        return false;
    }
    fd_ = -1;
    mapping_limit_ = 0;
    return true;
}

// MappedFile

MappedFile::~MappedFile() {
    CloseAll();
}

bool MappedFile::Map(uint64_t size, bool writable) {
    if (HasMapping() || !file_.IsValid()) {
        return false;
    }
    uint64_t current = 0;
    if (!file_.GetSize(current)) {
        return false;
    }
    if (size == 0) {
        size = current;
    } else if (writable && size > current) {
        int rc = ::posix_fallocate(file_.Fd(), 0, static_cast<off_t>(size));
        if (rc != 0) {
            return false;
        }
    }
    if (!CreateMapping(file_.Fd(), size, writable)) {
        return false;
    }
    mapping_size_ = size;
    return true;
}

bool MappedFile::Remap(uint64_t size, bool writable) {
    if (HasMapping()) {
        if (!CloseMapping()) {
            return false;
        }
        mapping_size_ = 0;
    }
    return Map(size, writable);
}

bool MappedFile::CloseAll() {
    if (!CloseMapping() || !file_.Close()) {
        return false;
    }
    mapping_size_ = 0;
    path_.clear();
    return true;
}

// MappedFileStream

MappedFileStream::~MappedFileStream() {
    Close();
}

bool MappedFileStream::IsOpen() const {
    return !file_.Path().empty() && (in_memory_ || file_.File().IsValid());
}

bool MappedFileStream::OpenExisting(const std::string& path) {
    if (path.empty() || IsOpen()) {
        return false;
    }
    length_ = 0;
    position_ = 0;
    if (!file_.File().Open(path, O_RDONLY)) {
        return false;
    }
    struct stat st;
    if (::fstat(file_.File().Fd(), &st) != 0 || S_ISDIR(st.st_mode)) {
        int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
        file_.CloseAll();
        errno = err;
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        // A pipe or device: read what it gives into memory.
        memory_.clear();
        uint8_t buf[65536];
        size_t got = 0;
        bool ok;
        while ((ok = file_.File().ReadRaw(buf, sizeof buf, &got)) && got > 0) {
            memory_.insert(memory_.end(), buf, buf + got);
        }
        int err = errno;
        file_.CloseAll();
        if (!ok) {
            // A failed read is an error, never the end of the data.
            memory_.clear();
            errno = err;
            return false;
        }
        in_memory_ = true;
        length_ = memory_.size();
        file_.SetPath(path);
        return true;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size > 0 && !file_.Map(size, false)) {
        file_.CloseAll();
        return false;
    }
    file_.SetPath(path);
    length_ = size;
    writable_ = false;
    return true;
}

bool MappedFileStream::CreateNew(const std::string& path, uint64_t initialSize) {
    if (path.empty() || initialSize == 0 || IsOpen()) {
        return false;
    }
    length_ = 0;
    position_ = 0;
    if (!file_.File().Create(path, O_RDWR | O_CREAT | O_TRUNC, 0666)) {
        return false;
    }
    if (!file_.Map(initialSize, true)) {
        file_.CloseAll();
        return false;
    }
    file_.SetPath(path);
    writable_ = true;
    return true;
}

const uint8_t* MappedFileStream::MapWholeForReading() {
    if (!IsOpen() || length_ == 0) {
        return nullptr;
    }
    if (in_memory_) {
        return memory_.data();
    }
    if (whole_ == nullptr) {
        void* p = ::mmap(nullptr, length_, PROT_READ, MAP_SHARED, file_.File().Fd(), 0);
        if (p == MAP_FAILED) {
            return nullptr;
        }
        ::madvise(p, length_, MADV_SEQUENTIAL);
        whole_ = static_cast<const uint8_t*>(p);
        whole_size_ = length_;
    }
    return whole_;
}

bool MappedFileStream::Close() {
    bool ok = true;
    if (whole_ != nullptr) {
        ::munmap(const_cast<uint8_t*>(whole_), whole_size_);
        whole_ = nullptr;
        whole_size_ = 0;
    }
    if (IsOpen()) {
        std::string path = file_.Path();
        uint64_t mapped = file_.MappingSize();
        if (!in_memory_ && writable_ && length_ < mapped) {
            // Cut the file on its descriptor before closing it.
            ok = ::ftruncate(file_.File().Fd(), static_cast<off_t>(length_)) == 0;
        }
        file_.CloseAll();
    }
    in_memory_ = false;
    memory_.clear();
    memory_.shrink_to_fit();
    writable_ = false;
    length_ = 0;
    position_ = 0;
    return ok;
}

bool MappedFileStream::InView(uint64_t start, uint64_t n) const {
    return file_.ViewBase() != nullptr && start >= file_.ViewOffset() &&
           start + n <= file_.ViewOffset() + file_.ViewSize();
}

bool MappedFileStream::MapRange(uint64_t start, uint64_t n) {
    uint64_t size = file_.MappingSize();
    uint64_t chunkCount = (size + kChunkSize - 1) / kChunkSize;
    uint64_t first = start / kChunkSize;
    uint64_t last = (start + n - 1) / kChunkSize;
    uint64_t viewSize = last + 1 >= chunkCount ? 0 : (last - first + 1) * kChunkSize;
    return file_.RemapView(first * kChunkSize, viewSize) != nullptr;
}

size_t MappedFileStream::Read(void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen() || IsEof()) {
        return 0;
    }
    uint64_t n = std::min<uint64_t>(uint64_t{elementSize} * count, length_ - position_);
    if (n == 0) {
        return 0;
    }
    if (in_memory_) {
        std::memcpy(buffer, memory_.data() + position_, n);
    } else {
        if (!InView(position_, n) && !MapRange(position_, n)) {
            return 0;
        }
        const uint8_t* src = file_.ViewBase() + (position_ - file_.ViewOffset());
        auto copy = [&] { std::memcpy(buffer, src, n); };
        if (!RunGuarded(copy)) {
            return 0;
        }
    }
    position_ += n;
    return n / elementSize;
}

size_t MappedFileStream::Write(const void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen() || !writable_) {
        return 0;
    }
    uint64_t n = uint64_t{elementSize} * count;
    uint64_t end = position_ + n;
    if (!InView(position_, n)) {
        if (end > file_.MappingSize()) {
            uint64_t grown = (end + kChunkSize - 1) / kChunkSize * kChunkSize;
            if (!file_.Remap(grown, true)) {
                return 0;
            }
        }
        if (!MapRange(position_, n)) {
            return 0;
        }
    }
    uint8_t* dst = file_.MutableViewBase() + (position_ - file_.ViewOffset());
    auto copy = [&] { std::memcpy(dst, buffer, n); };
    if (!RunGuarded(copy)) {
        return 0;
    }
    length_ = std::max(length_, end);
    position_ = end;
    return n / elementSize;
}

bool MappedFileStream::Flush() {
    if (file_.ViewBase() == nullptr) {
        return false;
    }
    return ::msync(file_.MutableViewBase(), file_.ViewSize(), MS_SYNC) == 0;
}

bool MappedFileStream::Sync() {
    if (!IsOpen() || in_memory_) {
        return false;
    }
    if (file_.ViewBase() != nullptr && !Flush()) {
        return false;
    }
    return ::fsync(file_.File().Fd()) == 0;
}

bool MappedFileStream::Seek(int64_t offset, SeekOrigin origin) {
    if (!IsOpen()) {
        return false;
    }
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                   : static_cast<int64_t>(length_);
    int64_t target = base + offset;
    if (target < 0) {
        return false;
    }
    position_ = static_cast<uint64_t>(target);
    return true;
}

}  // namespace linesift
