// Loads a file into a document and reports the load time beside `wc -l` on
// the same file, the line count, and the private (RssAnon) and file-backed
// (RssFile) memory after the load and at its peak.
//   load_memory_bench FILE [repeats]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "bench_util.h"
#include "document/text_document.h"

namespace {

using linesift::bench::ShellQuote;
using linesift::bench::StatusKb;
using linesift::bench::TimeCountingCommand;
using Clock = std::chrono::steady_clock;

// Samples RssAnon on a thread while it lives; Peak() is the largest seen.
class AnonSampler {
  public:
    AnonSampler() : thread_([this] { Run(); }) {}
    ~AnonSampler() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    long Peak() const { return peak_; }

  private:
    void Run() {
        while (!stop_) {
            long anon = StatusKb("RssAnon");
            peak_ = std::max(peak_.load(), anon);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    std::atomic<bool> stop_{false};
    std::atomic<long> peak_{0};
    std::thread thread_;
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Runs wc -l on the file; returns its wall time, count receives its output.
double TimeWc(const std::string& path, long& count) {
    return TimeCountingCommand("wc -l < " + ShellQuote(path), count);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: load_memory_bench FILE [repeats]\n");
        return 2;
    }
    std::string path = argv[1];
    int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    long wcLines = 0;
    TimeWc(path, wcLines);  // brings the file into the page cache
    double bestWc = 1e9;
    double bestLoad = 1e9;
    const long baseAnon = StatusKb("RssAnon");
    for (int i = 0; i < repeats; ++i) {
        bestWc = std::min(bestWc, TimeWc(path, wcLines));
        linesift::TextDocument document;
        AnonSampler sampler;
        auto t0 = Clock::now();
        if (!document.LoadFromFile(linesift::FromNativePath(path))) {
            std::fprintf(stderr, "load failed: %s\n", document.LastError().c_str());
            return 1;
        }
        double load = Seconds(t0);
        sampler.Stop();
        bestLoad = std::min(bestLoad, load);
        const double lines = static_cast<double>(document.LineCount());
        const long anon = StatusKb("RssAnon") - baseAnon;
        const long peak = std::max(sampler.Peak(), StatusKb("RssAnon")) - baseAnon;
        std::printf(
            "load %.3f s  lines %zu  index %.2f B/line  RssAnon after %ld KiB (%.2f B/line)"
            "  peak %ld KiB (%.2f B/line)  RssFile after %ld KiB  VmHWM %ld KiB\n",
            load, document.LineCount(), document.IndexBytes() / lines, anon, anon * 1024.0 / lines,
            peak, peak * 1024.0 / lines, StatusKb("RssFile"), StatusKb("VmHWM"));
    }
    std::printf("best load %.3f s, wc -l %.3f s (%ld lines), ratio %.2f\n", bestLoad, bestWc,
                wcLines, bestLoad / bestWc);
    return 0;
}
