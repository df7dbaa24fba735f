#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace linesift {

// The text "linesift --help" prints: the desktop use, every batch option with
// examples, the exit statuses, the files and the environment.
std::string_view HelpText();

// The line written to stderr after a command-line error.
inline constexpr char kTryHelpLine[] = "Try 'linesift --help' for more information.";

// An option that answers at once instead of running the program.
enum class InfoRequest {
    None,
    Help,     // -h, --help
    Version,  // --version
};

// Finds the first -h, --help or --version among the arguments after the
// program name. Arguments after "--", and the value that follows an option
// taking one (such as --filter QUERY), are never options.
InfoRequest FindInfoRequest(const std::vector<std::string>& args);

// Writes the help or the version text to out. Returns the exit status: 0, or
// 2 after a message on err when out could not be written.
int AnswerInfoRequest(InfoRequest request, std::FILE* out, std::FILE* err);

}  // namespace linesift
