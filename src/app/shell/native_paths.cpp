#include "shell/native_paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <cstdlib>
#include <memory>

#include "platform/native_path.h"
#include "qt_text.h"

namespace linesift {
namespace {

// The one entry of folder whose name Qt shows as shown; empty when there is
// none or more than one.
std::string EntryShownAs(const std::string& folder, const QString& shown) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (dir == nullptr) {
        return {};
    }
    std::string found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (QFile::decodeName(entry->d_name) == shown) {
            found = entry->d_name;
            ++matches;
        }
    }
    return matches == 1 ? found : std::string();
}

std::string CurrentFolder() {
    std::unique_ptr<char, void (*)(void*)> cwd(::getcwd(nullptr, 0), std::free);
    return cwd != nullptr ? std::string(cwd.get()) : std::string();
}

}  // namespace

QString DisplayPath(std::u16string_view path) {
    return ToQString(PathForDisplay(path));
}

std::u16string PathFromQt(const QString& path) {
    if (!path.contains(QChar::ReplacementCharacter)) {
        return ToU16(path);
    }
    const QStringList parts = path.split(QLatin1Char('/'));
    std::string native;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        std::string bytes;
        if (part.contains(QChar::ReplacementCharacter)) {
            bytes = EntryShownAs(native, part);
        }
        if (bytes.empty()) {
            bytes = ToNativePath(ToU16(part));
        }
        if (i > 0) {
            native += '/';
        }
        native += bytes;
    }
    return FromNativePath(native);
}

std::u16string PathFromUrl(const QUrl& url) {
    if (!url.isLocalFile()) {
        return {};
    }
    const QByteArray escaped = url.path(QUrl::FullyEncoded).toLatin1();
    const QByteArray bytes = QByteArray::fromPercentEncoding(escaped);
    return FromNativePath(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

std::u16string FolderOf(std::u16string_view path) {
    const size_t slash = path.rfind(u'/');
    if (slash == std::u16string_view::npos) {
        return {};
    }
    return std::u16string(path.substr(0, slash == 0 ? 1 : slash));
}

bool PathExists(std::u16string_view path) {
    struct stat st {};
    return !path.empty() && ::stat(ToNativePath(path).c_str(), &st) == 0;
}

std::u16string AbsoluteNormalPath(std::u16string_view path) {
    QString trimmed = ToQString(path).trimmed();
    if (trimmed.isEmpty()) {
        return {};
    }
    if (!trimmed.startsWith(QLatin1Char('/'))) {
        trimmed = ToQString(FromNativePath(CurrentFolder())) + QLatin1Char('/') + trimmed;
    }
    // Removing "." and ".." works on the text alone, so every unit is kept.
    const std::u16string absolute = ToU16(QDir::cleanPath(trimmed));
    const std::string native = ToNativePath(absolute);
    struct stat st {};
    if (::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        std::unique_ptr<char, void (*)(void*)> target(::realpath(native.c_str(), nullptr),
                                                      std::free);
        if (target != nullptr) {
            return FromNativePath(target.get());
        }
    }
    return absolute;
}

}  // namespace linesift
