#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace linesift {

// Owns one file descriptor; -1 when closed.
class FileHandle {
  public:
    FileHandle() = default;
    virtual ~FileHandle();
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    // Closes any open descriptor, then open(2)s path with flags (O_CLOEXEC is
    // added) and mode. False, and closed, on failure.
    virtual bool Create(const std::string& path, int flags, mode_t mode = 0666);
    virtual bool Open(const std::string& path, int flags) { return Create(path, flags, 0); }
    // Closes a valid descriptor; always true.
    virtual bool Close();

    bool IsValid() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    bool GetSize(uint64_t& size) const;
    // A count of 0 succeeds without calling the system; done may be null.
    bool ReadRaw(void* buffer, size_t count, size_t* done);

  private:
    int fd_ = -1;
};

// The size of the file at path; 0 when it cannot be found.
uint64_t GetFileSizeByPath(const std::string& path);

// Sets the size of the existing file at path; false on failure.
bool TruncateFile(const std::string& path, uint64_t size);

}  // namespace linesift
