#include "platform/file_replacement.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

namespace linesift {
namespace {

std::atomic<bool> g_named_for_testing{false};

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

std::string ProcPath(int fd) {
    return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace

FileReplacement::FileReplacement(const std::string& path) : target_(ResolveLink(path)) {
    size_t slash = target_.rfind('/');
    folder_ = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    mode_ = NewFileMode(target_);
    // Owner-only while written; Commit() sets the final permissions.
    if (!g_named_for_testing) {
        std::string folder = folder_.empty() ? "." : folder_;
        fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            return;
        }
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            error_ = std::strerror(errno);
            return;
        }
    }
    std::string temp = folder_ + "." + name + ".linesift-XXXXXX";
    fd_ = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    temp_ = temp;
}

FileReplacement::~FileReplacement() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

std::string FileReplacement::WritePath() const {
    return ProcPath(fd_);
}

void FileReplacement::UseNamedFileForTesting(bool named) {
    g_named_for_testing = named;
}

// Gives the unnamed file a hidden name in the folder; false when no free
// name was found or linking failed (error_ says why).
bool FileReplacement::LinkUnnamed(std::string& name) {
    size_t slash = target_.rfind('/');
    std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder_ + "." + base + ".linesift-" + std::to_string(random() % 1000000000u);
        if (::linkat(AT_FDCWD, ProcPath(fd_).c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            return true;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error_ = std::strerror(errno);
    return false;
}

bool FileReplacement::Commit() {
    if (fd_ < 0) {
        return false;
    }
    if (::fchmod(fd_, mode_) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    std::string name = temp_;
    if (name.empty() && !LinkUnnamed(name)) {
        return false;
    }
    // The name must still be the file written: in a shared folder another
    // user could have put something else there.
    struct stat written;
    struct stat named;
    if (::fstat(fd_, &written) != 0 || ::lstat(name.c_str(), &named) != 0 ||
        written.st_dev != named.st_dev || written.st_ino != named.st_ino) {
        error_ = "the temporary file was replaced while it was written";
        if (temp_.empty()) {
            ::unlink(name.c_str());
        }
        temp_.clear();
        return false;
    }
    if (::rename(name.c_str(), target_.c_str()) != 0) {
        error_ = std::strerror(errno);
        ::unlink(name.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    ::close(fd_);
    fd_ = -1;
    return true;
}

}  // namespace linesift
