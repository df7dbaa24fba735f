#include "document/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace linesift {

FileHandle::~FileHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool FileHandle::Create(const std::string& path, int flags, mode_t mode) {
    Close();
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return false;
    }
    fd_ = fd;
    return true;
}

bool FileHandle::Close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    return true;
}

bool FileHandle::GetSize(uint64_t& size) const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return false;
    }
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool FileHandle::ReadRaw(void* buffer, size_t count, size_t* done) {
    if (done != nullptr) {
        *done = 0;
    }
    if (count == 0) {
        return true;
    }
    ssize_t n;
    do {
        n = ::read(fd_, buffer, count);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        return false;
    }
    if (done != nullptr) {
        *done = static_cast<size_t>(n);
    }
    return true;
}

uint64_t GetFileSizeByPath(const std::string& path) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(st.st_size);
}

bool TruncateFile(const std::string& path, uint64_t size) {
    if (size > static_cast<uint64_t>(INT64_MAX)) {
        return false;
    }
    int rc;
    do {
        rc = ::truncate(path.c_str(), static_cast<off_t>(size));
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

}  // namespace linesift
