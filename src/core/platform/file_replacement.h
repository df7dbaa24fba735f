#pragma once

#include <string>

namespace linesift {

// Writing a file so that it replaces the old one only when complete: the
// new content goes to a temporary file in the same folder, which Commit()
// renames over the target. A symbolic link at the target is followed (the
// link stays) and the old file's permissions are kept. Without Commit() the
// temporary file is removed and the target is untouched.
class FileReplacement {
  public:
    explicit FileReplacement(const std::string& path);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // False when the temporary file could not be created (Error() says why).
    bool IsReady() const { return !temp_.empty(); }
    // The temporary file to write; it exists, empty, while IsReady().
    const std::string& TempPath() const { return temp_; }
    // Renames the written temporary file over the target.
    bool Commit();
    const std::string& Error() const { return error_; }

  private:
    std::string target_;  // the path, or a link's target
    std::string temp_;
    std::string error_;
};

}  // namespace linesift
