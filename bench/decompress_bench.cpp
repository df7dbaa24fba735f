// Times decompressing a compressed file into the unnamed cache file against
// `zcat FILE > /dev/null` on the same file, run from this program.
// Usage: decompress_bench [FILE] [ROUNDS]  (default /tmp/benchdata/bench-1g.log.gz, 3)
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compress/decompress_to_file.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// User plus system time of this process (who = RUSAGE_SELF) or of its
// finished children (RUSAGE_CHILDREN); the machine may be shared, so CPU time
// is the steadier figure.
double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Timing {
    double wall = 0;
    double cpu = 0;
};

Timing TimeZcat(const std::string& path) {
    const std::string command = "zcat '" + path + "' > /dev/null";
    const double cpu_before = CpuSeconds(RUSAGE_CHILDREN);
    auto start = Clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "zcat failed\n");
        std::exit(1);
    }
    return {Seconds(start), CpuSeconds(RUSAGE_CHILDREN) - cpu_before};
}

struct OurRun {
    double total = 0;
    double cpu = 0;
    double first_chunk = -1;  // when the first text could be shown
    uint64_t text_size = 0;
};

OurRun TimeOurs(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
    OurRun run;
    const double cpu_before = CpuSeconds(RUSAGE_SELF);
    auto start = Clock::now();
    linesift::DecompressOptions options;
    options.on_progress = [&](const linesift::DecompressProgress&) {
        if (run.first_chunk < 0) {
            run.first_chunk = Seconds(start);
        }
    };
    linesift::DecompressResult result = linesift::DecompressToCacheFile(fd, options);
    run.total = Seconds(start);
    run.cpu = CpuSeconds(RUSAGE_SELF) - cpu_before;
    ::close(fd);
    if (!result.IsComplete()) {
        std::fprintf(stderr, "%s\n", result.error_text.c_str());
        std::exit(1);
    }
    run.text_size = result.text_size;
    return run;  // closing result.text frees the unnamed file
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/benchdata/bench-1g.log.gz";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    TimeZcat(path);  // warm the page cache
    Timing best_zcat{1e9, 1e9};
    OurRun best;
    best.total = best.cpu = 1e9;
    for (int i = 0; i < rounds; ++i) {
        Timing zcat = TimeZcat(path);
        OurRun ours = TimeOurs(path);
        std::printf(
            "round %d: zcat %.3f s (cpu %.3f), ours %.3f s (cpu %.3f, first text after %.4f s), "
            "ratio %.3f (cpu %.3f)\n",
            i + 1, zcat.wall, zcat.cpu, ours.total, ours.cpu, ours.first_chunk,
            ours.total / zcat.wall, ours.cpu / zcat.cpu);
        best_zcat.wall = std::min(best_zcat.wall, zcat.wall);
        best_zcat.cpu = std::min(best_zcat.cpu, zcat.cpu);
        best.total = std::min(best.total, ours.total);
        best.cpu = std::min(best.cpu, ours.cpu);
        best.text_size = ours.text_size;
    }
    std::printf(
        "best: zcat %.3f s (cpu %.3f), ours %.3f s (cpu %.3f) for %llu bytes of text, "
        "ratio %.3f (cpu %.3f)\n",
        best_zcat.wall, best_zcat.cpu, best.total, best.cpu,
        static_cast<unsigned long long>(best.text_size), best.total / best_zcat.wall,
        best.cpu / best_zcat.cpu);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory of this program: %.1f MiB\n", usage.ru_maxrss / 1024.0);
    return 0;
}
