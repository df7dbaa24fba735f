#include "follow.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "compress/compression.h"
#include "compress/owned_fd.h"
#include "document/text_encoding.h"
#include "line_printer.h"
#include "line_splitter.h"
#include "output_writer.h"
#include "platform/clock.h"

namespace linesift {
namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnStopSignal(int) {
    g_stop = 1;
}

// How often the file is looked at while nothing new arrives.
constexpr int kIdlePollMs = 50;
// How often the path is checked for a new file while data keeps arriving.
constexpr int64_t kRotationCheckMs = 100;
constexpr size_t kReadChunk = size_t{4} << 20;

// Catches SIGINT and SIGTERM (without restarting system calls, so a wait
// ends at once) and ignores SIGPIPE, so a closed output is a failed write.
class StopSignals {
  public:
    StopSignals() {
        g_stop = 0;
        struct sigaction stop = {};
        stop.sa_handler = OnStopSignal;
        sigemptyset(&stop.sa_mask);
        ::sigaction(SIGINT, &stop, &old_int_);
        ::sigaction(SIGTERM, &stop, &old_term_);
        struct sigaction ignore = {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGPIPE, &ignore, &old_pipe_);
    }
    ~StopSignals() {
        ::sigaction(SIGINT, &old_int_, nullptr);
        ::sigaction(SIGTERM, &old_term_, nullptr);
        ::sigaction(SIGPIPE, &old_pipe_, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    struct sigaction old_int_ = {};
    struct sigaction old_term_ = {};
    struct sigaction old_pipe_ = {};
};

// True when out is a pipe or socket whose reading end has closed.
bool OutputClosed(std::FILE* out) {
    pollfd p{::fileno(out), 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0;
}

class Follower {
  public:
    Follower(const BatchOptions& options, bool color, std::FILE* out, std::FILE* err)
        : options_(options), err_(err), writer_(out), printer_(options, color, writer_) {
        const FilterRequest& r = options.request;
        if (!r.text.empty()) {
            query_.emplace(r.text, QueryOptions{.match_case = r.match_case,
                                                .whole_word = r.whole_word,
                                                .query_mode = r.query_mode});
        }
    }

    int Run(std::FILE* out);

  private:
    // Follows fd, the file at the path, from its start.
    void Adopt(OwnedFd fd, const struct stat& st);
    bool IsCompressed();
    // Reads what was appended since the last look. Returns whether any bytes came.
    bool ReadAppended();
    void Feed(const uint8_t* bytes, size_t n);
    // Makes the splitter once head_ tells the encoding (final: whatever
    // head_ holds must tell) and gives it head_. False while it cannot tell.
    bool StartSplitter(bool final);
    // The file was truncated or replaced: its unfinished last line is
    // printed and reading starts again from the start.
    void StartOver();
    // Switches to a new file at the path once the old one is read to its end.
    void FollowRotation();
    void OnLine(std::u16string_view text);
    void Note(const char* what) {
        std::fprintf(err_, "linesift: %s: %s\n", options_.file.c_str(), what);
    }

    const BatchOptions& options_;
    std::FILE* err_;
    OutputWriter writer_;
    LinePrinter printer_;
    std::optional<CompiledQuery> query_;
    OwnedFd fd_;
    struct stat identity_ = {};
    uint64_t offset_ = 0;
    size_t line_ = 0;
    std::vector<uint8_t> head_;  // the first bytes, while the encoding is not known
    std::unique_ptr<LineSplitter> splitter_;
    std::vector<uint8_t> chunk_;
    LineSplitter::LineVisitor visit_ = [this](std::u16string_view text) { OnLine(text); };
};

// The file now at the path, open for reading, and its identity; invalid when
// it cannot be opened.
OwnedFd OpenAtPath(const std::string& path, struct stat& st) {
    OwnedFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.IsValid() && ::fstat(fd.Get(), &st) != 0) {
        fd.Reset();
    }
    return fd;
}

void Follower::Adopt(OwnedFd fd, const struct stat& st) {
    fd_ = std::move(fd);
    identity_ = st;
    offset_ = 0;
    line_ = 0;
    head_.clear();
    splitter_.reset();
}

bool Follower::IsCompressed() {
    uint8_t head[kCompressionHeadSize];
    ssize_t n = ::pread(fd_.Get(), head, sizeof head, 0);
    return n > 0 && DetectCompression(head, static_cast<size_t>(n)) != Compression::None;
}

void Follower::OnLine(std::u16string_view text) {
    size_t index = line_++;
    bool matched = query_ && query_->Matches(text);
    bool shown = !query_ || options_.request.filter_mode == FilterMode::ShowAll ||
                 matched == (options_.request.filter_mode == FilterMode::HideUnmatched);
    if (shown && !writer_.Failed()) {
        printer_.Print(index, text, matched);
    }
}

void Follower::Feed(const uint8_t* bytes, size_t n) {
    if (splitter_) {
        splitter_->Append(bytes, n, visit_);
        return;
    }
    head_.insert(head_.end(), bytes, bytes + n);
    StartSplitter(false);
}

bool Follower::StartSplitter(bool final) {
    const EncodingChoice& choice = options_.encoding;
    bool marked = true;
    const int32_t encoding =
        choice.IsAuto() ? DetectFollowedEncoding(head_.data(), head_.size(), final)
                        : ChosenFollowedEncoding(choice, head_.data(), head_.size(), final, marked);
    if (encoding == Detect) {
        return false;
    }
    splitter_ = std::make_unique<LineSplitter>(encoding, choice.code_page, marked);
    splitter_->Append(head_.data(), head_.size(), visit_);
    head_.clear();
    return true;
}

bool Follower::ReadAppended() {
    struct stat st = {};
    if (::fstat(fd_.Get(), &st) != 0) {
        return false;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (size < offset_) {
        Note("file truncated; following it from its start");
        StartOver();
    }
    bool got = false;
    chunk_.resize(kReadChunk);
    while (offset_ < size && !writer_.Failed()) {
        // The file may have shrunk since fstat: pread never reads past its
        // current end, and the next look sees the smaller size.
        size_t want = static_cast<size_t>(std::min<uint64_t>(size - offset_, kReadChunk));
        ssize_t n = ::pread(fd_.Get(), chunk_.data(), want, static_cast<off_t>(offset_));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        offset_ += static_cast<uint64_t>(n);
        Feed(chunk_.data(), static_cast<size_t>(n));
        got = true;
    }
    return got;
}

void Follower::StartOver() {
    if (!splitter_ && !head_.empty()) {
        StartSplitter(true);
    }
    if (splitter_) {
        splitter_->Finish(visit_);
    }
    offset_ = 0;
    line_ = 0;
    head_.clear();
    splitter_.reset();
}

void Follower::FollowRotation() {
    struct stat st = {};
    if (::stat(options_.file.c_str(), &st) != 0 ||
        (st.st_ino == identity_.st_ino && st.st_dev == identity_.st_dev)) {
        return;  // gone (it may come back) or still the same file
    }
    OwnedFd fresh = OpenAtPath(options_.file, st);
    if (!fresh.IsValid()) {
        return;  // not readable yet: the old file stays followed, and the path is tried again
    }
    while (ReadAppended()) {
    }
    StartOver();
    Adopt(std::move(fresh), st);
    Note("replaced; following the new file");
}

int Follower::Run(std::FILE* out) {
    struct stat st = {};
    OwnedFd fd = OpenAtPath(options_.file, st);
    if (!fd.IsValid()) {
        std::fprintf(err_, "linesift: %s: %s\n", options_.file.c_str(), std::strerror(errno));
        return 2;
    }
    Adopt(std::move(fd), st);
    if (IsCompressed()) {
        Note("a compressed file cannot be followed");
        return 2;
    }
    StopSignals signals;
    int64_t lastRotationCheck = MonotonicMs();
    bool closed = false;  // the output's reader went away: a normal end
    while (g_stop == 0) {
        bool got = ReadAppended();
        int64_t now = MonotonicMs();
        if (!got || now - lastRotationCheck >= kRotationCheckMs) {
            FollowRotation();
            lastRotationCheck = now;
        }
        if (!writer_.Flush()) {
            closed = errno == EPIPE;
            break;
        }
        if (!got) {
            if (OutputClosed(out)) {
                closed = true;
                break;
            }
            ::poll(nullptr, 0, kIdlePollMs);
        }
    }
    if (writer_.Failed() && !closed) {
        std::fprintf(err_, "linesift: could not write the output\n");
        return 2;
    }
    if (query_ && query_->GiveUps() > 0) {
        std::fprintf(err_,
                     "linesift: the regular expression backtracks too much: %zu lines could not "
                     "be decided and were taken as not matching\n",
                     query_->GiveUps());
        return 2;
    }
    return 0;
}

}  // namespace

int RunFollow(const BatchOptions& options, bool color, std::FILE* out, std::FILE* err) {
    Follower follower(options, color, out, err);
    return follower.Run(out);
}

}  // namespace linesift
