// How soon the real main window shows lines that a writer appends to the
// file it follows, and how late its event loop runs meanwhile. The window
// opens FILE with View > Follow File on (and QUERY, if given, typed into the
// search box), scrolls to the bottom, and a writer thread appends RATE lines
// a second for SECONDS, each numbered. A 1 ms timer looks at the last row
// shown: a line counts as shown once the list, at its bottom, shows it or a
// later line. A 5 ms timer records the event loop's lateness.
//   QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=DIR window_follow_bench [OPTION]... FILE
//   [SECONDS [RATE [QUERY]]]
// Options: --wrap (word wrap on, and each appended line padded to 400
// characters, so that it wraps), --context N (N context lines: 1, 2, 3, 5 or
// 10), --regex (QUERY is a regular expression), --requery (halfway, QUERY
// is applied again: a pass over the whole file runs while lines arrive; the
// list shows its top then, so once the pass ends the bench goes to the bottom
// again with Ctrl+End).
// FILE is appended to: use a copy.
// Prints the latency from append to shown (median, p99, max), the loop's
// lateness (max, p99) and the window thread's longest own work between two
// of its ticks, and the processor time of the whole program while
// following, as a share of one core.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench_util.h"
#include "settings/app_settings.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "views/search_box.h"
#include "window_bench_util.h"

using namespace linesift;
using namespace linesift::bench;

namespace {

// Appends `count` numbered lines to path at rate lines a second, a
// millisecond's worth at a time; appended[n] is when the write of line n began.
class Writer {
  public:
    Writer(std::string path, size_t count, int rate, size_t padding)
        : path_(std::move(path)), rate_(rate), padding_(padding), appended_(count) {
        for (auto& t : appended_) {
            t.store(0);
        }
    }
    void Start() {
        thread_ = std::thread([this] { Run(); });
    }
    void Join() { thread_.join(); }
    int64_t AppendedAt(size_t n) const { return appended_[n].load(); }
    size_t Count() const { return appended_.size(); }
    bool Done() const { return done_.load(); }

  private:
    void Run() {
        int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd < 0) {
            std::perror("open");
            return;
        }
        const int64_t start = NowNs();
        size_t next = 0;
        std::string batch;
        while (next < appended_.size()) {
            const int64_t due = (NowNs() - start) * rate_ / 1000000000LL + 1;
            const size_t until = std::min(appended_.size(), static_cast<size_t>(due));
            batch.clear();
            for (size_t n = next; n < until; ++n) {
                batch += "2026-12-09 followbench seq=" + std::to_string(n) +
                         " some payload text of an ordinary log line";
                batch.append(padding_, 'w');
                batch += '\n';
            }
            // Stamped before the write: a line may show before write returns.
            const int64_t writing = NowNs();
            for (size_t n = next; n < until; ++n) {
                appended_[n].store(writing);
            }
            if (!batch.empty() && ::write(fd, batch.data(), batch.size()) < 0) {
                std::perror("write");
                break;
            }
            next = until;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::close(fd);
        done_.store(true);
    }

    std::string path_;
    int rate_;
    size_t padding_;  // characters added to each line
    std::vector<std::atomic<int64_t>> appended_;
    std::atomic<bool> done_{false};
    std::thread thread_;
};

// The sequence number of the list's last row, or -1 when it is not a writer's line.
int64_t LastShownSeq(MainFrame& frame) {
    LineListView& list = frame.Pane().List();
    const int64_t rows = list.ShownRowCount();
    QScrollBar* bar = list.verticalScrollBar();
    if (rows == 0 || bar->value() < bar->maximum()) {
        return -1;
    }
    // A file that ends with a line break ends with an empty line.
    std::u16string text = list.RowLineText(rows - 1);
    if (text.empty() && rows >= 2) {
        text = list.RowLineText(rows - 2);
    }
    const size_t at = text.find(u"seq=");
    if (at == std::u16string::npos) {
        return -1;
    }
    int64_t n = 0;
    for (size_t i = at + 4; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        n = n * 10 + (text[i] - u'0');
    }
    return n;
}

struct Modes {
    bool wrap = false;
    int context = 0;
    bool regex = false;
    bool requery = false;
    std::vector<const char*> args;  // FILE [SECONDS [RATE [QUERY]]]
};

bool ReadModes(int argc, char** argv, Modes& modes) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--wrap") {
            modes.wrap = true;
        } else if (arg == "--regex") {
            modes.regex = true;
        } else if (arg == "--requery") {
            modes.requery = true;
        } else if (arg == "--context" && i + 1 < argc) {
            modes.context = std::atoi(argv[++i]);
        } else if (arg.starts_with("--")) {
            return false;
        } else {
            modes.args.push_back(argv[i]);
        }
    }
    return !modes.args.empty();
}

int ContextCommand(int lines) {
    switch (lines) {
        case 1:
            return cmd::kContextLines1;
        case 2:
            return cmd::kContextLines2;
        case 3:
            return cmd::kContextLines3;
        case 5:
            return cmd::kContextLines5;
        case 10:
            return cmd::kContextLines10;
        default:
            return cmd::kContextLines0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    Modes modes;
    if (!ReadModes(argc, argv, modes)) {
        std::fprintf(stderr,
                     "usage: window_follow_bench [--wrap] [--context N] [--regex] [--requery] FILE "
                     "[SECONDS [RATE [QUERY]]]\n");
        return 2;
    }
    const std::vector<const char*>& args = modes.args;
    const int seconds = args.size() > 1 ? std::atoi(args[1]) : 20;
    const int rate = args.size() > 2 ? std::atoi(args[2]) : 10000;
    QApplication app(argc, argv);
    AppSettings::Instance().follow_file = true;
    std::unique_ptr<MainFrame> window = ShowMainFrame();
    MainFrame& frame = *window;
    QElapsedTimer open;
    open.start();
    if (!frame.OpenFile(FromNativePath(args[0]), false)) {
        return 1;
    }
    std::printf("open %.3f s, %zu lines\n", open.elapsed() / 1000.0, frame.Document().LineCount());
    QueryListPane& pane = frame.Pane();
    if (modes.regex) {
        frame.RunCommand(cmd::kRegexQuery);
    }
    if (modes.context > 0) {
        frame.RunCommand(ContextCommand(modes.context));
    }
    if (args.size() > 3) {
        frame.SearchField().Edit().setText(QString::fromUtf8(args[3]));
        while (pane.IsFiltering()) {
            RunFor(10);
        }
        std::printf("query \"%s\": %lld rows\n", args[3],
                    static_cast<long long>(pane.List().ShownRowCount()));
    }
    if (modes.wrap) {
        frame.RunCommand(cmd::kWordWrap);
        WaitFor([&] { return !pane.List().IsLayingOut(); }, 600000);
        std::printf("word wrap on\n");
    }
    LineListView& list = pane.List();
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_End, Qt::ControlModifier);
    RunFor(300);

    Writer writer(args[0], static_cast<size_t>(seconds) * rate, rate, modes.wrap ? 330 : 0);
    std::vector<double> latency;
    latency.reserve(writer.Count());
    int64_t shownUpTo = -1;  // lines up to this one were seen
    QTimer look;
    look.setTimerType(Qt::PreciseTimer);
    QObject::connect(&look, &QTimer::timeout, [&] {
        const int64_t seq = LastShownSeq(frame);
        const int64_t now = NowNs();
        for (int64_t n = shownUpTo + 1; n <= seq; ++n) {
            latency.push_back((now - writer.AppendedAt(static_cast<size_t>(n))) / 1e6);
        }
        shownUpTo = std::max(shownUpTo, seq);
    });
    StallProbe probe;
    const double cpuBefore = ProcessCpuMs();
    const double windowCpuBefore = ThreadCpuMs();
    QElapsedTimer clock;
    clock.start();
    look.start(1);
    probe.Start();
    writer.Start();
    QElapsedTimer pass;
    if (modes.requery && args.size() > 3) {
        QTimer::singleShot(seconds * 500, [&] {
            pass.start();
            pane.ApplyQuery(QString::fromUtf8(args[3]).toStdU16String());
        });
        QObject::connect(&pane, &QueryListPane::filterEnded, [&] {
            if (pass.isValid()) {
                std::printf("the pass applied again took %.1f ms\n", pass.nsecsElapsed() / 1e6);
                pass.invalidate();
                QTimer::singleShot(
                    0, [&] { QTest::keyClick(&pane.List(), Qt::Key_End, Qt::ControlModifier); });
            }
        });
    }
    // With context lines the last lines may never show (no match follows
    // them): the wait ends a second after the last progress once all is written.
    int64_t lastProgressMs = 0;
    for (int64_t seen = shownUpTo; shownUpTo + 1 < static_cast<int64_t>(writer.Count()) &&
                                   clock.elapsed() < (seconds + 10) * 1000;) {
        RunFor(50);
        if (shownUpTo != seen) {
            seen = shownUpTo;
            lastProgressMs = clock.elapsed();
        } else if (writer.Done() && clock.elapsed() - lastProgressMs > 1000) {
            break;
        }
    }
    const double wall = clock.elapsed();
    const double cpu = ProcessCpuMs() - cpuBefore;
    const double windowCpu = ThreadCpuMs() - windowCpuBefore;
    look.stop();
    probe.Stop();
    writer.Join();

    std::printf("%zu of %zu lines seen at the bottom of the list in %.1f s\n", latency.size(),
                writer.Count(), wall / 1000);
    const double median = Percentile(latency, 0.5);
    const double p99 = Percentile(latency, 0.99);
    std::printf("append to shown: median %.1f ms, p99 %.1f ms, max %.1f ms\n", median, p99,
                latency.empty() ? -1 : latency.back());
    std::vector<double> lateness = probe.Lateness();
    const double lateP99 = Percentile(lateness, 0.99);
    std::printf(
        "event loop lateness (5 ms timer): max %.1f ms, p99 %.1f ms, %zu ticks; the window "
        "thread's own work between two ticks at most %.1f ms\n",
        lateness.empty() ? -1 : lateness.back(), lateP99, lateness.size(), probe.MaxBusyMs());
    std::printf(
        "processor time while following, %.1f s: window thread %.0f ms (%.1f%% of one "
        "core, the probes' timers included); whole program %.0f ms (%.1f%%, the "
        "writer included)\n",
        wall / 1000, windowCpu, 100 * windowCpu / wall, cpu, 100 * cpu / wall);
    std::printf("rows %lld, lines %zu\n", static_cast<long long>(list.ShownRowCount()),
                frame.Document().LineCount());
    return 0;
}
