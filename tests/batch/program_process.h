#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace linesift::test {

// The built linesift program.
const char* ProgramPath();

struct ProgramResult {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs the program with args (and standard input from stdinPath, or
// /dev/null when empty) to its end.
ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& stdinPath = "");

// Runs a shell command line; returns its exit status.
int RunShell(const std::string& command);

// The program running in the background, its standard output on a pipe that
// the test reads as it goes, its standard error in a file.
class RunningProgram {
  public:
    explicit RunningProgram(const std::vector<std::string>& args);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Reads output until it holds text (or ends with it when atEnd), or
    // timeoutMs pass. Returns whether it did.
    bool WaitForOutput(const std::string& text, int timeoutMs = 5000);
    // The output read so far.
    const std::string& Output() const { return out_; }
    // Reads whatever output arrives within ms.
    void Drain(int ms);
    void Signal(int signal);
    // Closes the test's end of the output pipe: the program's next write fails.
    void CloseOutput();
    // Waits up to timeoutMs for the program to end; its status as ProgramResult
    // says, or -1 when it is still running (it is then killed).
    int Wait(int timeoutMs = 5000);
    std::string Errors() const;

  private:
    pid_t pid_ = -1;
    int out_fd_ = -1;
    std::string err_path_;
    std::string out_;
};

}  // namespace linesift::test
