#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "document/byte_stream.h"
#include "document/file_handle.h"

namespace linesift {

// The unit of mapped views and of file growth while writing: 256 KiB, a
// multiple of every page size.
inline constexpr uint64_t kChunkSize = 256 * 1024;

// One mapping of a file descriptor and at most one view of it at a time.
// The descriptor is not owned.
class FileMapping {
  public:
    FileMapping() = default;
    virtual ~FileMapping();
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    // Fails when a mapping exists or fd is invalid; size is the largest
    // offset views may reach.
    bool CreateMapping(int fd, uint64_t size, bool writable);
    // Maps [offset, offset + size) (size 0: to the end of the mapping); offset
    // must be a multiple of the page size. Null on failure or when a view exists.
    void* MapView(uint64_t offset, uint64_t size);
    // Unmaps the current view, then MapView.
    void* RemapView(uint64_t offset, uint64_t size);
    // True at once without a mapping; unmaps the view and forgets the mapping.
    bool CloseMapping();

    bool HasMapping() const { return fd_ >= 0; }
    const uint8_t* ViewBase() const { return static_cast<const uint8_t*>(view_); }
    uint8_t* MutableViewBase() const { return static_cast<uint8_t*>(view_); }
    uint64_t ViewOffset() const { return view_offset_; }
    uint64_t ViewSize() const { return view_size_; }

  protected:
    uint64_t mapping_limit_ = 0;

  private:
    bool UnmapView();

    int fd_ = -1;
    bool writable_ = false;
    void* view_ = nullptr;
    uint64_t view_offset_ = 0;
    uint64_t view_size_ = 0;
};

// A file, its mapping and its path.
class MappedFile : public FileMapping {
  public:
    ~MappedFile() override;

    // Maps the open file; size 0 maps the file's current size. A writable
    // mapping larger than the file first extends the file (reserving the
    // disk space, so a full disk fails here rather than on a later write).
    bool Map(uint64_t size, bool writable);
    // CloseMapping, then Map.
    bool Remap(uint64_t size, bool writable);
    // Closes the mapping and the file.
    bool CloseAll();

    FileHandle& File() { return file_; }
    const FileHandle& File() const { return file_; }
    uint64_t MappingSize() const { return mapping_size_; }
    const std::string& Path() const { return path_; }
    void SetPath(std::string path) { path_ = std::move(path); }

  private:
    FileHandle file_;
    uint64_t mapping_size_ = 0;
    std::string path_;
};

// Reads a file, or writes a new one, through a view that slides over it in
// whole chunks. Opening never changes an existing file: it is opened and
// mapped read-only. Files that cannot be mapped (pipes, character devices)
// are read into memory when opened. Reads of a file another program
// truncates meanwhile fail instead of crashing.
class MappedFileStream : public ByteStream {
  public:
    MappedFileStream() = default;
    ~MappedFileStream() override;

    // Opens an existing file for reading. Fails for a missing path, a
    // folder, an open stream, or a pipe or device whose read fails (errno
    // tells why).
    bool OpenExisting(const std::string& path);
    // Creates (or truncates) path for writing with room for initialSize bytes.
    bool CreateNew(const std::string& path, uint64_t initialSize);

    // A read-only view of the whole data, for bulk scanning; null for an
    // empty or unopened stream. Accesses must be guarded against SIGBUS
    // (RunGuarded) because the file may shrink under the mapping.
    const uint8_t* MapWholeForReading();

    bool IsEof() const override { return position_ >= length_; }
    bool IsOpen() const override;
    uint64_t GetLength() const override { return length_; }
    uint64_t GetPosition() const override { return position_; }
    // Closes the stream; a written file is cut to the bytes written. False
    // when that cut failed.
    bool Close() override;
    size_t Read(void* buffer, size_t elementSize, size_t count) override;
    size_t Write(const void* buffer, size_t elementSize, size_t count) override;
    bool Flush() override;
    // Positions past the end are allowed; a negative one fails.
    bool Seek(int64_t offset, SeekOrigin origin) override;

    // Forces the written data to the disk; false on failure.
    bool Sync();

  private:
    bool MapRange(uint64_t start, uint64_t n);
    bool InView(uint64_t start, uint64_t n) const;

    MappedFile file_;
    bool writable_ = false;
    bool in_memory_ = false;  // data read into memory_ instead of mapped
    std::vector<uint8_t> memory_;
    const uint8_t* whole_ = nullptr;
    uint64_t whole_size_ = 0;
    uint64_t length_ = 0;
    uint64_t position_ = 0;
};

}  // namespace linesift
