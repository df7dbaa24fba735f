#pragma once

#include <sys/types.h>

#include <string>

namespace linesift {

// Writing a file so that it replaces the old one only when complete. The new
// content goes to a temporary file in the same folder that has no name while
// it is written (O_TMPFILE); where the file system cannot do that, to a
// hidden file created exclusively. Either way it is written through the
// descriptor that created it, never reopened by name. Commit() gives it the
// old file's permissions and renames it over the target. A symbolic link at
// the target is followed (the link stays). Without Commit() nothing is left
// behind and the target is untouched; a process killed while writing leaves
// nothing either, except in the fallback.
class FileReplacement {
  public:
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the temporary file could not be created (Error() says why).
    bool IsReady() const { return fd_ >= 0; }
    // The temporary file's descriptor, open for writing; owned by this object.
    int Fd() const { return fd_; }
    // A path that opens the temporary file itself (through its descriptor),
    // for writers that need to open a path; -1's path while not IsReady().
    std::string WritePath() const;
    // Renames the written temporary file over the target.
    bool Commit();
    const std::string& Error() const { return error_; }

    // Makes new replacements use the named fallback, as on a file system
    // without O_TMPFILE. For tests.
    static void UseNamedFileForTesting(bool named);

  private:
    bool LinkUnnamed(std::string& name);

    std::string target_;  // the path, or a link's target
    std::string folder_;  // ends with '/', or empty for the current folder
    std::string temp_;    // the fallback's name; empty for an unnamed file
    int fd_ = -1;
    mode_t mode_ = 0;
    std::string error_;
};

}  // namespace linesift
