#include "document/file_time.h"

#include <sys/stat.h>

#include <chrono>

namespace linesift {

void FileTimeStamp::SetToNow() {
    using namespace std::chrono;
    ns_ = duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
    if (ns_ == 0) {
        ns_ = 1;
    }
}

int32_t FileTimeStamp::ElapsedMs() const {
    FileTimeStamp now;
    now.SetToNow();
    return static_cast<int32_t>(now.ns_ / 1000000 - ns_ / 1000000);
}

bool GetLastWriteTime(const std::string& path, FileTimeStamp& time) {
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return false;
    }
    time = FileTimeStamp(static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
    return true;
}

}  // namespace linesift
