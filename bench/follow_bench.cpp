// How fast --follow keeps up with a writer: a thread appends lines at a fixed
// rate, each holding the time it was written; the program's output is read
// back and each line's delay measured.
//
//   follow_bench PROGRAM [SECONDS=5] [LINES_PER_SECOND=200000] [OPTION]...
//
// The options go to the program after --follow (default: --filter payload,
// which every line matches).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"

namespace {

using linesift::bench::NowNs;

// Appends rate lines a second for seconds, in one write per millisecond or so.
void Write(const std::string& path, double seconds, int64_t rate, std::atomic<int64_t>& written) {
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND);
    const int64_t start = NowNs();
    const int64_t end = start + static_cast<int64_t>(seconds * 1e9);
    std::string batch;
    int64_t n = 0;
    for (int64_t now = start; now < end; now = NowNs()) {
        int64_t due = (now - start) * rate / 1000000000;
        batch.clear();
        char line[160];
        for (; n < due; ++n) {
            int len = std::snprintf(line, sizeof line,
                                    "t=%lld seq=%lld INFO worker-3 payload of a typical log line "
                                    "with some words in it\n",
                                    static_cast<long long>(now), static_cast<long long>(n));
            batch.append(line, static_cast<size_t>(len));
        }
        if (!batch.empty() && ::write(fd, batch.data(), batch.size()) < 0) {
            break;
        }
        written.store(n);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    ::close(fd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr,
                     "usage: follow_bench PROGRAM [SECONDS] [LINES_PER_SECOND] [OPTION]...\n");
        return 2;
    }
    double seconds = argc > 2 ? std::atof(argv[2]) : 5;
    int64_t rate = argc > 3 ? std::atoll(argv[3]) : 200000;
    char path[] = "/tmp/follow-bench-XXXXXX";
    int tmp = ::mkstemp(path);
    ::close(tmp);

    std::vector<std::string> args = {argv[1], "--follow"};
    for (int i = 4; i < argc; ++i) {
        args.push_back(argv[i]);
    }
    if (argc <= 4) {
        args.insert(args.end(), {"--filter", "payload"});
    }
    args.push_back(path);
    int out[2];
    if (::pipe(out) != 0) {
        return 2;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        std::vector<char*> argvChild;
        for (std::string& a : args) {
            argvChild.push_back(a.data());
        }
        argvChild.push_back(nullptr);
        ::execv(argvChild[0], argvChild.data());
        ::_exit(127);
    }
    ::close(out[1]);

    std::atomic<int64_t> written{0};
    std::thread writer(Write, std::string(path), seconds, rate, std::ref(written));
    std::vector<double> delaysMs;
    delaysMs.reserve(static_cast<size_t>(seconds * static_cast<double>(rate)) + 1024);
    std::string pending;
    char buf[1 << 16];
    const int64_t deadline = NowNs() + static_cast<int64_t>((seconds + 2) * 1e9);
    while (NowNs() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) {
            break;
        }
        int64_t now = NowNs();
        pending.append(buf, static_cast<size_t>(n));
        size_t start = 0;
        for (size_t nl = pending.find('\n'); nl != std::string::npos;
             nl = pending.find('\n', start)) {
            size_t t = pending.find("t=", start);
            if (t != std::string::npos && t < nl) {
                delaysMs.push_back(static_cast<double>(now - std::atoll(pending.c_str() + t + 2)) /
                                   1e6);
            }
            start = nl + 1;
        }
        pending.erase(0, start);
    }
    writer.join();
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::unlink(path);

    std::sort(delaysMs.begin(), delaysMs.end());
    auto at = [&](double q) {
        return delaysMs.empty()
                   ? 0.0
                   : delaysMs[static_cast<size_t>(q * static_cast<double>(delaysMs.size() - 1))];
    };
    size_t over = static_cast<size_t>(delaysMs.end() -
                                      std::upper_bound(delaysMs.begin(), delaysMs.end(), 300.0));
    std::printf("written=%lld printed=%zu rate=%lld/s seconds=%.1f\n",
                static_cast<long long>(written.load()), delaysMs.size(),
                static_cast<long long>(rate), seconds);
    std::printf("delay_ms p50=%.1f p99=%.1f p999=%.1f max=%.1f over_300ms=%zu exit=%d\n", at(0.5),
                at(0.99), at(0.999), delaysMs.empty() ? 0.0 : delaysMs.back(), over,
                WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
    return 0;
}
