#include "compress/cache_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace linesift {
namespace {

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* entry = ::getpwuid(::getuid());
        home = entry != nullptr ? entry->pw_dir : nullptr;
    }
    return home != nullptr && home[0] == '/' ? home : "";
}

std::string SystemError(const std::string& what, const std::string& path, int error) {
    return what + " " + path + ": " + std::strerror(error) + ".";
}

}  // namespace

std::string GetCacheFolder() {
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        base = HomeFolder();
        if (base.empty()) {
            return {};
        }
        base += "/.cache";
    }
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    return base + "/Quellora/Linesift";
}

bool EnsurePrivateFolder(const std::string& folder, std::string* error) {
    if (folder.empty() || folder[0] != '/') {
        *error = "No folder is known for temporary text (is HOME set?).";
        return false;
    }
    for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
        const std::string part = folder.substr(0, end);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *error = SystemError("Could not create the folder", part, errno);
            return false;
        }
        if (end == std::string::npos) {
            break;
        }
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *error = SystemError("Could not use the folder", folder, ENOTDIR);
        return false;
    }
    return true;
}

OwnedFd CreateUnnamedFile(const std::string& folder, std::string* error) {
    if (!EnsurePrivateFolder(folder, error)) {
        return {};
    }
    OwnedFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd.IsValid()) {
        return fd;
    }
    // Older kernels and some file systems refuse O_TMPFILE (EISDIR on kernels
    // that do not know it); a named file removed at once is the next best.
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
        *error = SystemError("Could not create a temporary file in", folder, errno);
        return {};
    }
    std::string pattern = folder + "/text-XXXXXX";
    fd = OwnedFd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.IsValid()) {
        *error = SystemError("Could not create a temporary file in", folder, errno);
        return {};
    }
    ::unlink(pattern.c_str());
    return fd;
}

}  // namespace linesift
