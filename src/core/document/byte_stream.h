#pragma once

#include <cstddef>
#include <cstdint>

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
    virtual bool Seek(int64_t offset, SeekOrigin origin) = 0;
    bool SeekToBegin() { return Seek(0, SeekOrigin::Begin); }
};

}  // namespace linesift
