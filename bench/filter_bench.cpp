// Times filter passes over a loaded document against ripgrep counting the
// same query on the same file, interleaved so both see the same noise.
//   filter_bench FILE [repeats]
// For each query it prints the best time of both, their ratio, and both
// counts (ours is the number of shown lines).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_util.h"
#include "document/text_document.h"
#include "filter/filter_pass.h"

namespace {

using linesift::bench::ShellQuote;
using linesift::bench::TimeCountingCommand;
using Clock = std::chrono::steady_clock;

struct Case {
    const char* name;
    linesift::FilterRequest request;
    std::string rgArgs;  // after "rg -c", before the file
};

// Runs rg and returns its wall time in seconds; count receives its output.
double TimeRipgrep(const std::string& args, const std::string& file, long& count) {
    return TimeCountingCommand("rg -c " + args + " " + ShellQuote(file), count);
}

double TimePass(const Case& c, const linesift::TextDocument& document, size_t& shown) {
    linesift::FilterResult result;
    auto t0 = Clock::now();
    bool ok = linesift::RunFilterPass(c.request, document, result) == linesift::FilterStatus::Done;
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    shown = ok ? result.shown.size() : 0;
    return s;
}

std::vector<Case> Cases() {
    using linesift::FilterMode;
    using linesift::FilterRequest;
    using linesift::QueryMode;
    const std::string userStatus = "user=(alice|bob) status=5[0-9]{2}";
    return {
        {"naive error", FilterRequest{.text = u"error"}, "-i error"},
        {"naive -debug", FilterRequest{.text = u"-debug"}, "-i -v debug"},
        {"smart err", FilterRequest{.text = u"err", .query_mode = QueryMode::Smart}, "-i error"},
        {"naive whole-word error", FilterRequest{.text = u"error", .whole_word = true}, "-i error"},
        {"regex user/status",
         FilterRequest{.text = u"user=(alice|bob) status=5[0-9]{2}",
                       .query_mode = QueryMode::Regex},
         "-i " + ShellQuote(userStatus)},
        {"regex \\w+Exception: ",
         FilterRequest{.text = u"\\w+Exception: ", .query_mode = QueryMode::Regex},
         "-i " + ShellQuote("\\w+Exception: ")},
    };
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: filter_bench FILE [repeats]\n");
        return 2;
    }
    const std::string file = argv[1];
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    linesift::TextDocument document;
    if (!document.LoadFromFile(linesift::FromNativePath(file))) {
        std::fprintf(stderr, "load failed: %s\n", document.LastError().c_str());
        return 1;
    }
    std::printf("%zu lines, best of %d\n", document.LineCount(), repeats);
    std::printf("%-26s %9s %9s %6s %10s %10s\n", "query", "ours s", "rg s", "ratio", "shown",
                "rg count");
    for (const Case& c : Cases()) {
        double ours = 1e9;
        double rg = 1e9;
        size_t shown = 0;
        long count = 0;
        for (int i = 0; i < repeats; ++i) {
            ours = std::min(ours, TimePass(c, document, shown));
            rg = std::min(rg, TimeRipgrep(c.rgArgs, file, count));
        }
        std::printf("%-26s %9.3f %9.3f %6.2f %10zu %10ld\n", c.name, ours, rg, ours / rg, shown,
                    count);
        std::fflush(stdout);
    }
    return 0;
}
