#include "program_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace linesift::test {
namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A new empty file's path; what ends its name.
std::string TempPath(const std::string& what) {
    std::string name = "/tmp/linesift-program-XXXXXX" + what;
    int fd = ::mkstemps(name.data(), static_cast<int>(what.size()));
    if (fd >= 0) {
        ::close(fd);
    }
    return name;
}

// Starts the program with the given descriptors as its standard streams.
pid_t Spawn(const std::vector<std::string>& args, int in, int out, int err) {
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        ::signal(SIGPIPE, SIG_DFL);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(ProgramPath()));
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(ProgramPath(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int StatusOf(int raw) {
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

}  // namespace

const char* ProgramPath() {
    return LINESIFT_PROGRAM;
}

ProgramResult RunProgram(const std::vector<std::string>& args, const std::string& stdinPath) {
    std::string outPath = TempPath(".out");
    std::string errPath = TempPath(".err");
    int in = ::open(stdinPath.empty() ? "/dev/null" : stdinPath.c_str(), O_RDONLY);
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = Spawn(args, in, out, err);
    ::close(in);
    ::close(out);
    ::close(err);
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    ProgramResult result{StatusOf(raw), Slurp(outPath), Slurp(errPath)};
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return result;
}

int RunShell(const std::string& command) {
    int raw = std::system(command.c_str());
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

RunningProgram::RunningProgram(const std::vector<std::string>& args) {
    err_path_ = TempPath(".err");
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return;
    }
    int in = ::open("/dev/null", O_RDONLY);
    int err = ::open(err_path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_ = Spawn(args, in, pipeFds[1], err);
    ::close(in);
    ::close(err);
    ::close(pipeFds[1]);
    out_fd_ = pipeFds[0];
}

RunningProgram::~RunningProgram() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_fd_ >= 0) {
        ::close(out_fd_);
    }
    std::remove(err_path_.c_str());
}

bool RunningProgram::WaitForOutput(const std::string& text, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out_.find(text) == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0 || out_fd_ < 0) {
            return false;
        }
        pollfd p{out_fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
            continue;
        }
        char buf[65536];
        ssize_t n = ::read(out_fd_, buf, sizeof buf);
        if (n <= 0) {
            return out_.find(text) != std::string::npos;
        }
        out_.append(buf, static_cast<size_t>(n));
    }
    return true;
}

void RunningProgram::Drain(int ms) {
    WaitForOutput(std::string(1, '\0') + "never printed", ms);
}

void RunningProgram::Signal(int signal) {
    ::kill(pid_, signal);
}

void RunningProgram::CloseOutput() {
    ::close(out_fd_);
    out_fd_ = -1;
}

int RunningProgram::Wait(int timeoutMs) {
    for (int waited = 0; waited <= timeoutMs; waited += 10) {
        int raw = 0;
        if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
            pid_ = -1;
            return StatusOf(raw);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return -1;
}

std::string RunningProgram::Errors() const {
    return Slurp(err_path_);
}

}  // namespace linesift::test
