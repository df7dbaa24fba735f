// Measuring helpers shared by the benchmarks: clocks, processor time, memory
// as /proc reports it, percentiles and shell quoting. Free of Qt.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace linesift::bench {

// The monotonic clock in nanoseconds: comparable across threads.
int64_t NowNs();
// The wall time work() takes, in seconds.
double Seconds(const std::function<void()>& work);
// Processor time of the calling thread, in milliseconds.
double ThreadCpuMs();
// Processor time of the whole process (user + system), in milliseconds.
double ProcessCpuMs();

// A field of /proc/self/status in KiB ("RssAnon", "RssFile", "VmHWM"), or -1.
long StatusKb(const char* field);

// The value at fraction p (0..1) of values, which it sorts; -1 when empty.
double Percentile(std::vector<double>& values, double p);

// s quoted for /bin/sh.
std::string ShellQuote(const std::string& s);

// Runs command with /bin/sh and returns its wall time in seconds; count
// receives the number it prints first, or -1.
double TimeCountingCommand(const std::string& command, long& count);

}  // namespace linesift::bench
