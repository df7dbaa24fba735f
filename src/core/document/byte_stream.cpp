#include "document/byte_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace linesift {

int ByteStream::ReadByte() {
    uint8_t b = 0;
    return Read(&b, 1, 1) == 1 ? b : -1;
}

bool ByteStream::WriteByte(uint8_t b) {
    return Write(&b, 1, 1) == 1;
}

// FileByteStream

FileByteStream::~FileByteStream() {
    Close();
}

bool FileByteStream::CreateForWrite(const std::string& path) {
    if (path.empty() || IsOpen()) {
        return false;
    }
    return handle_.Create(path, O_RDWR | O_CREAT | O_TRUNC, 0666);
}

bool FileByteStream::OpenForRead(const std::string& path) {
    if (path.empty() || IsOpen()) {
        return false;
    }
    return handle_.Open(path, O_RDONLY);
}

uint64_t FileByteStream::GetLength() const {
    uint64_t size = 0;
    return handle_.GetSize(size) ? size : 0;
}

uint64_t FileByteStream::GetPosition() const {
    if (!IsOpen()) {
        return 0;
    }
    off_t pos = ::lseek(handle_.Fd(), 0, SEEK_CUR);
    return pos < 0 ? 0 : static_cast<uint64_t>(pos);
}

bool FileByteStream::Close() {
    if (IsOpen()) {
        handle_.Close();
    }
    return true;
}

size_t FileByteStream::Read(void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen()) {
        return 0;
    }
    size_t done = 0;
    return handle_.ReadRaw(buffer, elementSize * count, &done) ? done / elementSize : 0;
}

size_t FileByteStream::Write(const void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen()) {
        return 0;
    }
    size_t done = 0;
    handle_.WriteRaw(buffer, elementSize * count, &done);
    return done / elementSize;
}

bool FileByteStream::Flush() {
    return IsOpen() && ::fsync(handle_.Fd()) == 0;
}

bool FileByteStream::Seek(int64_t offset, SeekOrigin origin) {
    if (!IsOpen()) {
        return false;
    }
    return ::lseek(handle_.Fd(), static_cast<off_t>(offset), MapOrigin(origin)) >= 0;
}

int FileByteStream::MapOrigin(SeekOrigin origin) const {
    switch (origin) {
        case SeekOrigin::Begin:
            return SEEK_SET;
        case SeekOrigin::Current:
            return SEEK_CUR;
        case SeekOrigin::End:
            return SEEK_END;
    }
    return SEEK_SET;
}

// MemoryByteStream

bool MemoryByteStream::Attach(void* data, uint64_t size) {
    if (data == nullptr || size == 0 || IsOpen()) {
        return false;
    }
    attached_ = static_cast<uint8_t*>(data);
    attached_size_ = size;
    position_ = 0;
    owned_.reset();
    return true;
}

std::unique_ptr<OwnedBuffer> MemoryByteStream::TakeOwnedBuffer() {
    if (!HasOwnedBuffer()) {
        return nullptr;
    }
    attached_ = nullptr;
    attached_size_ = 0;
    position_ = 0;
    return std::move(owned_);
}

void MemoryByteStream::SetOwnedBuffer(std::unique_ptr<OwnedBuffer> buffer) {
    owned_ = std::move(buffer);
    attached_ = nullptr;
    attached_size_ = 0;
    position_ = 0;
}

uint64_t MemoryByteStream::GetLength() const {
    if (attached_ != nullptr) {
        return attached_size_;
    }
    return HasOwnedBuffer() ? owned_->Size() : 0;
}

uint8_t* MemoryByteStream::Bytes() const {
    return attached_ != nullptr ? attached_ : (owned_ ? owned_->Data() : nullptr);
}

bool MemoryByteStream::Close() {
    if (owned_) {
        owned_->Release();
        owned_.reset();
    }
    attached_ = nullptr;
    attached_size_ = 0;
    position_ = 0;
    return true;
}

size_t MemoryByteStream::Read(void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen()) {
        return 0;
    }
    uint64_t length = GetLength();
    if (position_ >= length) {
        return 0;
    }
    uint64_t n = std::min<uint64_t>(uint64_t{elementSize} * count, length - position_);
    std::memcpy(buffer, Bytes() + position_, n);
    position_ += n;
    return n / elementSize;
}

size_t MemoryByteStream::Write(const void* buffer, size_t elementSize, size_t count) {
    if (buffer == nullptr || elementSize == 0 || count == 0 || !IsOpen()) {
        return 0;
    }
    uint64_t length = GetLength();
    if (position_ >= length) {
        return 0;
    }
    uint64_t n = std::min<uint64_t>(uint64_t{elementSize} * count, length - position_);
    std::memcpy(Bytes() + position_, buffer, n);
    position_ += n;
    return n / elementSize;
}

bool MemoryByteStream::Seek(int64_t offset, SeekOrigin origin) {
    if (!IsOpen()) {
        return false;
    }
    int64_t base = origin == SeekOrigin::Begin     ? 0
                   : origin == SeekOrigin::Current ? static_cast<int64_t>(position_)
                                                   : static_cast<int64_t>(GetLength());
    int64_t target = base + offset;
    if (target < 0 || static_cast<uint64_t>(target) + 1 > GetLength()) {
        return false;
    }
    position_ = static_cast<uint64_t>(target);
    return true;
}

}  // namespace linesift
