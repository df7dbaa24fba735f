#include "settings/file_io.h"

#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>

namespace linesift {
namespace {

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    // True when the descriptor was closed without error.
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

bool ReadWholeFile(const std::string& path, size_t limit, std::string& bytes) {
    bytes.clear();
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    struct stat st;
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<uint64_t>(st.st_size) > limit) {
        return false;
    }
    bytes.reserve(static_cast<size_t>(st.st_size));
    char chunk[64 * 1024];
    for (;;) {
        ssize_t n = ::read(file.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        if (static_cast<size_t>(n) > limit - bytes.size()) {
            return false;
        }
        bytes.append(chunk, static_cast<size_t>(n));
    }
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
    FileReplacement replacement(path);
    if (!replacement.IsReady()) {
        return false;
    }
    bool ok = WriteAll(replacement.Fd(), bytes) && ::fsync(replacement.Fd()) == 0;
    return ok && replacement.Commit();
}

}  // namespace linesift
