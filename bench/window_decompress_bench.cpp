// Opens a compressed log in the real main window (offscreen) until the
// document is complete, against `zcat FILE > /dev/null` on the same file in
// the same run, alternating the two in each round.
//   QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=DIR
//       window_decompress_bench [FILE [ROUNDS]]   (default bench-1g.log.gz, 3)
// Prints per round: zcat's time, the window's time to a complete document and
// its ratio to zcat, when the first lines were painted, when the decoding
// ended (the status turns from "Decompressing" to "Loading"), and how late a
// 5 ms timer ran at worst during the open (the longest stall of the window's
// event loop) and when, with the window thread's own processor time between
// two ticks (on a busy machine, lateness that is not this program's work). The
// processor time of both is printed too: steadier than wall time when the
// machine is shared.
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "shell/status_panes.h"
#include "views/line_list_view.h"
#include "window_bench_util.h"

using namespace linesift;

namespace {

// Answers No: a damaged archive's readable part is not opened.
class BatchDialogs : public bench::BatchDialogs {
  public:
    QMessageBox::StandardButton ShowMessage(QWidget* parent, const QString& text,
                                            QMessageBox::StandardButtons buttons,
                                            QMessageBox::Icon icon) override {
        bench::BatchDialogs::ShowMessage(parent, text, buttons, icon);
        return QMessageBox::No;
    }
};

// User plus system time of this process (RUSAGE_SELF, all its threads) or of
// its finished children (RUSAGE_CHILDREN).
double CpuSeconds(int who) {
    rusage usage{};
    ::getrusage(who, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
           usage.ru_stime.tv_usec / 1e6;
}

// zcat's wall time in seconds.
double TimeZcat(const std::string& path, double& cpu) {
    const std::string command = "zcat '" + path + "' > /dev/null";
    const double before = CpuSeconds(RUSAGE_CHILDREN);
    QElapsedTimer clock;
    clock.start();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "zcat failed\n");
        std::exit(1);
    }
    cpu = CpuSeconds(RUSAGE_CHILDREN) - before;
    return clock.nsecsElapsed() / 1e9;
}

// While the window opens the file: a 5 ms timer that records how late it
// runs, when the list first paints lines, and when decoding gives way to loading.
class OpenProbe : public QObject {
  public:
    static constexpr int kIntervalMs = 5;

    explicit OpenProbe(MainFrame& frame) : frame_(frame) {
        frame_.Pane().List().viewport()->installEventFilter(this);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
        clock_.start();
        timer_.start(kIntervalMs);
    }
    ~OpenProbe() override { frame_.Pane().List().viewport()->removeEventFilter(this); }

    double first_lines_ms = -1;
    double decoded_ms = -1;
    double worst_late_ms = 0;
    double worst_late_at_ms = 0;  // when the latest tick ran
    double worst_busy_ms = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && first_lines_ms < 0 &&
            frame_.Pane().List().LoadPreviewRows() > 0) {
            first_lines_ms = clock_.nsecsElapsed() / 1e6;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void Tick() {
        const double now = clock_.nsecsElapsed() / 1e6;
        const double cpu = bench::ThreadCpuMs();
        if (last_ >= 0) {
            if (now - last_ - kIntervalMs > worst_late_ms) {
                worst_late_ms = now - last_ - kIntervalMs;
                worst_late_at_ms = now;
            }
            worst_busy_ms = std::max(worst_busy_ms, cpu - last_cpu_);
        }
        last_ = now;
        last_cpu_ = cpu;
        const QString status = frame_.Status().MessageText();
        decoding_ = decoding_ || status.startsWith(QStringLiteral("Decompressing..."));
        if (decoding_ && decoded_ms < 0 && status.startsWith(QStringLiteral("Loading..."))) {
            decoded_ms = now;
        }
    }

    MainFrame& frame_;
    QTimer timer_;
    QElapsedTimer clock_;
    double last_ = -1;
    double last_cpu_ = 0;
    bool decoding_ = false;
};

struct WindowRun {
    double seconds = 0;
    double cpu = 0;  // of all the program's threads
    double first_lines_ms = -1;
    double decoded_ms = -1;
    double worst_late_ms = 0;
    double worst_late_at_ms = 0;
    double worst_busy_ms = 0;
    size_t lines = 0;
};

WindowRun OpenInWindow(const std::string& path) {
    const std::unique_ptr<MainFrame> window =
        bench::ShowMainFrame(std::make_unique<BatchDialogs>());
    MainFrame& frame = *window;
    WindowRun run;
    QElapsedTimer clock;
    bool opened = false;
    {
        OpenProbe probe(frame);
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        clock.start();
        opened = frame.OpenFile(FromNativePath(path), false);
        run.seconds = clock.nsecsElapsed() / 1e9;
        run.cpu = CpuSeconds(RUSAGE_SELF) - cpuBefore;
        // The ticks right after the load: the document is handed to the list.
        QElapsedTimer after;
        after.start();
        while (after.elapsed() < 100) {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        run.first_lines_ms = probe.first_lines_ms;
        run.decoded_ms = probe.decoded_ms;
        run.worst_late_ms = probe.worst_late_ms;
        run.worst_late_at_ms = probe.worst_late_at_ms;
        run.worst_busy_ms = probe.worst_busy_ms;
    }
    if (!opened) {
        std::fprintf(stderr, "the window did not open %s\n", path.c_str());
        std::exit(1);
    }
    run.lines = frame.Document().LineCount();
    return run;
}

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::string path = argc > 1 ? argv[1] : "/tmp/benchdata/bench-1g.log.gz";
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QApplication app(argc, argv);
    double cpu = 0;
    TimeZcat(path, cpu);  // warms the page cache
    std::vector<double> ratios;
    for (int i = 0; i < rounds; ++i) {
        const double zcat = TimeZcat(path, cpu);
        const WindowRun run = OpenInWindow(path);
        ratios.push_back(run.seconds / zcat);
        std::printf(
            "round %d: zcat %.3f s (cpu %.3f s); window %.3f s (cpu %.3f s) to a complete "
            "document of %zu lines, ratio %.3f (cpu %.3f); first lines painted after %.1f ms, "
            "decoded after %.3f s; worst timer lateness %.1f ms at %.3f s (window thread's own "
            "work between ticks at most %.1f ms)\n",
            i + 1, zcat, cpu, run.seconds, run.cpu, run.lines, ratios.back(), run.cpu / cpu,
            run.first_lines_ms, run.decoded_ms / 1e3, run.worst_late_ms, run.worst_late_at_ms / 1e3,
            run.worst_busy_ms);
    }
    std::sort(ratios.begin(), ratios.end());
    std::printf("median ratio window / zcat: %.3f\n", ratios[ratios.size() / 2]);
    return 0;
}
