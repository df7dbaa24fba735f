#pragma once

#include <cstdint>
#include <string>

namespace linesift {

// A point in time in nanoseconds; zero means unset. Holds either a file's
// modification time or a start time taken with SetToNow (monotonic clock) for
// ElapsedMs; the two are never compared with each other.
class FileTimeStamp {
  public:
    FileTimeStamp() = default;
    explicit FileTimeStamp(int64_t ns) : ns_(ns) {}

    void SetToNow();
    void SetToZero() { ns_ = 0; }
    bool IsZero() const { return ns_ == 0; }
    // Milliseconds since SetToNow.
    int32_t ElapsedMs() const;

    bool operator==(const FileTimeStamp& other) const = default;

  private:
    int64_t ns_ = 0;
};

// The modification time of the file at path; false when it cannot be read.
bool GetLastWriteTime(const std::string& path, FileTimeStamp& time);

}  // namespace linesift
