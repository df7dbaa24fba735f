#include "batch.h"

#include <sys/resource.h>

#include <cinttypes>

#include "document/file_handle.h"
#include "document/text_document.h"
#include "output_writer.h"
#include "platform/clock.h"

namespace linesift {

BatchParse ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                               std::string& error) {
    bool batch = false;
    bool endOfOptions = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (arg == "--print") {
            options.print = batch = true;
        } else if (arg == "--json") {
            options.json = batch = true;
        } else if (arg == "--count") {
            options.count = batch = true;
        } else if (arg == "--stats") {
            options.stats = batch = true;
        } else {
            error = "unknown option '" + arg + "'";
            return BatchParse::Error;
        }
    }
    if (!batch) {
        if (!files.empty()) {
            options.file = files.front();
        }
        return BatchParse::NotBatch;
    }
    if (files.size() != 1) {
        error = files.empty() ? "no file given" : "more than one file given";
        return BatchParse::Error;
    }
    options.file = files.front() == "-" ? "/dev/stdin" : files.front();
    return BatchParse::Batch;
}

namespace {

long PeakRssMb() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace

int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err) {
    TextDocument document;
    int64_t start = MonotonicMs();
    if (!document.LoadFromFile(FromNativePath(options.file))) {
        std::fprintf(err, "linesift: %s: %s\n", options.file.c_str(), document.LastError().c_str());
        return 2;
    }
    int64_t loadMs = MonotonicMs() - start;

    size_t shown = document.LineCount();
    OutputWriter writer(out);
    if (options.count) {
        writer.Append(std::to_string(shown));
        writer.Append("\n");
    } else {
        for (size_t i = 0; i < shown; ++i) {
            std::u16string_view text = document.Line(i).text();
            if (options.json) {
                writer.Append("{\"line\": ");
                writer.Append(std::to_string(i + 1));
                writer.Append(", \"text\": ");
                writer.AppendJsonString(text);
                writer.Append("}\n");
            } else {
                writer.AppendText(text);
                writer.Append("\n");
            }
        }
    }
    if (!writer.Flush()) {
        std::fprintf(err, "linesift: could not write the output\n");
        return 2;
    }
    if (options.stats) {
        std::fprintf(err, "load_ms=%" PRId64 " lines=%zu bytes=%" PRIu64 " peak_rss_mb=%ld\n",
                     loadMs, document.LineCount(),
                     static_cast<uint64_t>(GetFileSizeByPath(options.file)), PeakRssMb());
    }
    return shown > 0 ? 0 : 1;
}

}  // namespace linesift
