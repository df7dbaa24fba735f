// Linesift: the desktop program, or the batch mode when batch options are given.
#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "batch.h"
#include "command_line_help.h"

#ifdef LINESIFT_WITH_GUI
int RunDesktop(int argc, char** argv, const std::string& file);
#endif

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    std::vector<std::string> args(argv + 1, argv + argc);
    linesift::InfoRequest info = linesift::FindInfoRequest(args);
    if (info != linesift::InfoRequest::None) {
        return linesift::AnswerInfoRequest(info, stdout, stderr);
    }
    linesift::BatchOptions options;
    std::string error;
    switch (linesift::ParseBatchArguments(args, options, error)) {
        case linesift::BatchParse::Error:
            std::fprintf(stderr, "linesift: %s\n%s\n", error.c_str(), linesift::kTryHelpLine);
            return 2;
        case linesift::BatchParse::Batch:
            return linesift::RunBatch(options, stdout, stderr);
        case linesift::BatchParse::NotBatch:
            break;
    }
#ifdef LINESIFT_WITH_GUI
    return RunDesktop(argc, argv, options.file);
#else
    std::fprintf(stderr, "linesift: this build has no desktop program; use --print FILE\n");
    return 2;
#endif
}
