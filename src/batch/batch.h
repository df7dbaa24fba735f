#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace linesift {

// What the command line asks of the batch mode.
struct BatchOptions {
    std::string file;
    bool print = false;
    bool json = false;
    bool count = false;
    bool stats = false;
};

enum class BatchParse {
    NotBatch,  // no batch option: the desktop program runs
    Batch,     // options holds the request
    Error,     // error holds a message for stderr
};

// Reads the arguments after the program name.
BatchParse ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                               std::string& error);

// Runs the batch request, writing results to out and messages to err.
// Returns the exit status: 0 when at least one line was printed or counted,
// 1 when none, 2 on error.
int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err);

}  // namespace linesift
