#include "bench_util.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace linesift::bench {

int64_t NowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

double Seconds(const std::function<void()>& work) {
    const int64_t t0 = NowNs();
    work();
    return static_cast<double>(NowNs() - t0) / 1e9;
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double ProcessCpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

long StatusKb(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) {
        return -1;
    }
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            value = std::strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

double Percentile(std::vector<double>& values, double p) {
    std::sort(values.begin(), values.end());
    return values.empty()
               ? -1
               : values[std::min(values.size() - 1,
                                 static_cast<size_t>(static_cast<double>(values.size()) * p))];
}

std::string ShellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

double TimeCountingCommand(const std::string& command, long& count) {
    const int64_t t0 = NowNs();
    FILE* pipe = popen(command.c_str(), "r");
    count = -1;
    if (pipe == nullptr || std::fscanf(pipe, "%ld", &count) != 1) {
        count = -1;
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return static_cast<double>(NowNs() - t0) / 1e9;
}

}  // namespace linesift::bench
