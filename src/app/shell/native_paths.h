#pragma once

#include <QString>
#include <QUrl>
#include <string>
#include <string_view>

namespace linesift {

// Paths between Qt and the program. The program keeps a path as the system's
// bytes (FromNativePath); Qt decodes file names as UTF-8 and loses the bytes
// that are not, so a path from Qt is mapped back here before it is used.

// The path for titles, menus and messages: bytes that are not UTF-8 show as
// U+FFFD.
QString DisplayPath(std::u16string_view path);

// A path a Qt dialog gave. Where Qt replaced undecodable bytes with U+FFFD,
// the one entry of the folder that Qt shows under that name takes its place;
// without one, the name stays as Qt gave it.
std::u16string PathFromQt(const QString& path);

// The local path of a file URL (a drop), its escaped bytes taken as they are.
std::u16string PathFromUrl(const QUrl& url);

// The folder that holds path: "/a" for "/a/b", "/" for "/a"; empty for a
// name without a folder.
std::u16string FolderOf(std::u16string_view path);

// Whether something exists at path (symbolic links followed).
bool PathExists(std::u16string_view path);

// Trims, resolves against the current folder and removes "." and ".." parts;
// a symbolic link becomes its target's canonical path.
std::u16string AbsoluteNormalPath(std::u16string_view path);

}  // namespace linesift
