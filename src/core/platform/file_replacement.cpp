#include "platform/file_replacement.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace linesift {
namespace {

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

}  // namespace

FileReplacement::FileReplacement(const std::string& path) : target_(ResolveLink(path)) {
    size_t slash = target_.rfind('/');
    std::string temp =
        slash == std::string::npos
            ? "." + target_ + ".linesift-XXXXXX"
            : target_.substr(0, slash + 1) + "." + target_.substr(slash + 1) + ".linesift-XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        error_ = std::strerror(errno);
        return;
    }
    ::fchmod(fd, NewFileMode(target_));
    ::close(fd);
    temp_ = temp;
}

FileReplacement::~FileReplacement() {
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

bool FileReplacement::Commit() {
    if (temp_.empty()) {
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = std::strerror(errno);
        return false;
    }
    temp_.clear();
    return true;
}

}  // namespace linesift
