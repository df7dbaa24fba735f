#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "document/encoding_choice.h"
#include "filter/filter_pass.h"

namespace linesift {

// When plain output marks highlights with ANSI colours.
enum class ColorWhen {
    Auto,  // when the output is a terminal
    Always,
    Never,
};

// What the command line asks of the batch mode.
struct BatchOptions {
    std::string file;
    bool print = false;
    bool json = false;
    bool count = false;
    bool stats = false;
    bool follow = false;           // keep printing lines as they are appended
    bool filter = false;           // --filter was given (possibly with an empty query)
    FilterRequest request;         // the query, its switches and the filter mode
    EncodingChoice encoding = {};  // --encoding: read the file in this encoding
    bool line_number = false;
    ColorWhen color = ColorWhen::Auto;
    // Lines printed around each shown line, as -A, -B and -C ask (-1: not
    // given); -A and -B win over -C. Only with the filter mode hide-unmatched.
    int after_context = -1;
    int before_context = -1;
    int context = -1;

    bool HasContext() const { return after_context >= 0 || before_context >= 0 || context >= 0; }
    size_t After() const {
        return static_cast<size_t>(after_context >= 0 ? after_context : context > 0 ? context : 0);
    }
    size_t Before() const {
        return static_cast<size_t>(before_context >= 0 ? before_context
                                   : context > 0       ? context
                                                       : 0);
    }
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
// 1 when none, 2 on error (a file that cannot be read, a regular expression
// that does not compile, a failed write, lines the regular expression engine
// could not decide, which stderr counts).
int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err);

}  // namespace linesift
