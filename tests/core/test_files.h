#pragma once

#include <string>
#include <string_view>

namespace linesift::test {

// A folder of its own for one test, removed with everything in it at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Writes bytes to name inside the folder and returns the file's path.
    std::string Write(const std::string& name, std::string_view bytes) const;

  private:
    std::string path_;
};

std::string ReadFileBytes(const std::string& path);

}  // namespace linesift::test
