#include "settings/file_io.h"

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

std::string ResolveLink(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved) != nullptr) {
            return resolved;
        }
    }
    return path;
}

mode_t NewFileMode(const std::string& target) {
    struct stat st;
    if (::stat(target.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string TempPathFor(const std::string& target) {
    size_t slash = target.rfind('/');
    if (slash == std::string::npos) {
        return "." + target + ".linesift-XXXXXX";
    }
    return target.substr(0, slash + 1) + "." + target.substr(slash + 1) + ".linesift-XXXXXX";
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
    std::string target = ResolveLink(path);
    std::string temp = TempPathFor(target);
    FileDescriptor file(::mkstemp(temp.data()));
    if (file.get() < 0) {
        return false;
    }
    bool ok = ::fchmod(file.get(), NewFileMode(target)) == 0 && WriteAll(file.get(), bytes) &&
              ::fsync(file.get()) == 0;
    ok = file.Close() && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

}  // namespace linesift
