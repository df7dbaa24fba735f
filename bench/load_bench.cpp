// Loads a file into a document and reports time and memory.
//   load_bench FILE [repeats]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/file_handle.h"
#include "document/text_document.h"

namespace {

long CurrentRssKb() {
    FILE* f = std::fopen("/proc/self/statm", "r");
    long pages = 0;
    long resident = 0;
    if (f != nullptr) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return resident * 4;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_bench FILE [repeats]\n");
        return 2;
    }
    std::string path = argv[1];
    int repeats = argc > 2 ? std::atoi(argv[2]) : 1;
    double bytes = static_cast<double>(linesift::GetFileSizeByPath(path));
    double best = 1e9;
    for (int i = 0; i < repeats; ++i) {
        linesift::TextDocument document;
        auto t0 = std::chrono::steady_clock::now();
        if (!document.LoadFromFile(linesift::FromNativePath(path))) {
            std::fprintf(stderr, "load failed: %s\n", document.LastError().c_str());
            return 1;
        }
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        best = std::min(best, s);
        struct rusage usage = {};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("load %.3f s  lines %zu  rss after %.2f B/B  peak %.2f B/B\n", s,
                    document.LineCount(), CurrentRssKb() * 1024.0 / bytes,
                    usage.ru_maxrss * 1024.0 / bytes);
    }
    std::printf("best %.3f s\n", best);
    return 0;
}
