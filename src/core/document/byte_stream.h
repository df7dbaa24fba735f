#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "document/file_handle.h"

namespace linesift {

enum class SeekOrigin { Begin = 0, Current = 1, End = 2 };

// The one interface of every byte stream. Positions and lengths are 64-bit,
// so files of 4 GiB and more are addressed completely. No operation throws;
// failures are false or 0 results, and a failed Read or Write leaves the
// position unchanged.
class ByteStream {
  public:
    virtual ~ByteStream() = default;

    // True when the stream is closed or positioned past its last byte + 1.
    virtual bool IsPastEnd() const { return !IsOpen() || GetPosition() > GetLength(); }
    virtual bool IsEof() const = 0;
    virtual bool IsOpen() const = 0;
    virtual uint64_t GetLength() const = 0;
    virtual uint64_t GetPosition() const = 0;
    virtual bool SetPosition(uint64_t pos) {
        return Seek(static_cast<int64_t>(pos), SeekOrigin::Begin);
    }
    virtual bool Close() = 0;
    // Moves whole elements; returns how many were moved (bytes moved / elementSize).
    virtual size_t Read(void* buffer, size_t elementSize, size_t count) = 0;
    virtual size_t Write(const void* buffer, size_t elementSize, size_t count) = 0;
    virtual bool Flush() = 0;
    // The byte read (0..255), or -1 when nothing could be read.
    int ReadByte();
    bool WriteByte(uint8_t b);
    virtual bool Seek(int64_t offset, SeekOrigin origin) = 0;
    bool SeekToBegin() { return Seek(0, SeekOrigin::Begin); }
    bool SeekToEnd() { return Seek(0, SeekOrigin::End); }
    // Translates an origin into the platform's whence value.
    virtual int MapOrigin(SeekOrigin origin) const { return static_cast<int>(origin); }
};

// A plain stream over a file descriptor (read(2)/write(2)).
class FileByteStream : public ByteStream {
  public:
    ~FileByteStream() override;
    // Creates or truncates path for reading and writing; fails for an empty
    // path or an open stream.
    bool CreateForWrite(const std::string& path);
    // Opens an existing path for reading; fails for an empty path or an open stream.
    bool OpenForRead(const std::string& path);

    bool IsEof() const override { return GetPosition() >= GetLength(); }
    bool IsOpen() const override { return handle_.IsValid(); }
    uint64_t GetLength() const override;
    uint64_t GetPosition() const override;
    bool Close() override;
    size_t Read(void* buffer, size_t elementSize, size_t count) override;
    size_t Write(const void* buffer, size_t elementSize, size_t count) override;
    bool Flush() override;
    bool Seek(int64_t offset, SeekOrigin origin) override;
    int MapOrigin(SeekOrigin origin) const override;

  private:
    FileHandle handle_;
};

// A block of memory a MemoryByteStream owns; the image layer creates them.
class OwnedBuffer {
  public:
    OwnedBuffer(std::unique_ptr<uint8_t[]> data, uint64_t size)
        : data_(std::move(data)), size_(size) {}
    uint8_t* Data() const { return data_.get(); }
    uint64_t Size() const { return size_; }
    void Release() {
        data_.reset();
        size_ = 0;
    }

  private:
    std::unique_ptr<uint8_t[]> data_;
    uint64_t size_;
};

// A stream over a block of memory: either attached (the caller keeps
// ownership of the memory) or an owned buffer.
class MemoryByteStream : public ByteStream {
  public:
    ~MemoryByteStream() override = default;

    // Attaches size bytes at data; fails for null data, size 0 or an open
    // stream. The caller keeps ownership and keeps the memory alive.
    bool Attach(void* data, uint64_t size);
    // Hands the owned buffer over and leaves the stream closed; null (and no
    // change) when there is none.
    std::unique_ptr<OwnedBuffer> TakeOwnedBuffer();
    // Releases the current buffer and position and takes buffer.
    void SetOwnedBuffer(std::unique_ptr<OwnedBuffer> buffer);

    virtual bool IsAttached() const { return attached_ != nullptr; }
    virtual bool HasOwnedBuffer() const { return owned_ && owned_->Data() != nullptr; }

    bool IsEof() const override { return !IsOpen() || position_ + 1 > GetLength(); }
    bool IsOpen() const override { return IsAttached() || HasOwnedBuffer(); }
    uint64_t GetLength() const override;
    uint64_t GetPosition() const override { return position_; }
    bool Close() override;
    size_t Read(void* buffer, size_t elementSize, size_t count) override;
    size_t Write(const void* buffer, size_t elementSize, size_t count) override;
    bool Flush() override { return IsOpen(); }
    // Fails unless the new position addresses an existing byte.
    bool Seek(int64_t offset, SeekOrigin origin) override;

  private:
    uint8_t* Bytes() const;

    uint64_t position_ = 0;
    uint8_t* attached_ = nullptr;
    uint64_t attached_size_ = 0;
    std::unique_ptr<OwnedBuffer> owned_;
};

}  // namespace linesift
