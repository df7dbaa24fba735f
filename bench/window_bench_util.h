// Helpers for the benchmarks that drive the real main window offscreen: a
// window whose questions answer themselves, running the event loop for a
// while or until something is done, and a probe of the loop's lateness.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <memory>
#include <vector>

#include "shell/main_frame.h"

namespace linesift::bench {

// Answers every question at once; messages go to stderr.
class BatchDialogs : public FrameDialogs {
  public:
    QString AskOpenPath(QWidget*) override { return {}; }
    QString AskSavePath(QWidget*, const QString&) override { return export_path; }
    QMessageBox::StandardButton ShowMessage(QWidget*, const QString& text,
                                            QMessageBox::StandardButtons,
                                            QMessageBox::Icon) override;
    QString export_path;  // where Export writes; none when empty
};

// A main window of 1000 x 700, shown, its first events handled. The window
// owns dialogs; the caller keeps a reference to it if it wants one.
std::unique_ptr<MainFrame> ShowMainFrame(
    std::unique_ptr<BatchDialogs> dialogs = std::make_unique<BatchDialogs>());

// Runs the event loop, sleeping in it, for ms milliseconds.
void RunFor(int ms);

// Runs the event loop until done() or timeout ms; returns the ms it took, -1
// on timeout. Looks at done every millisecond, from a timer.
template <typename Done>
double WaitFor(const Done& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs) {
            loop.quit();
        }
    });
    poll.start(1);
    if (!done()) {
        loop.exec();
    }
    return done() ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

// A repeating timer that records how late the event loop runs it.
class StallProbe {
  public:
    static constexpr int kIntervalMs = 5;

    StallProbe();
    void Start();
    void Stop() { timer_.stop(); }
    // Prints the ticks, the lateness (max, p99) and the thread's longest work.
    void Print(const char* what) const;
    // How late each tick came, in ms, in the order they came.
    const std::vector<double>& Lateness() const { return lateness_; }
    // The window thread's longest own work between two ticks, in ms.
    double MaxBusyMs() const;

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = -1;
    std::vector<double> lateness_;
    // The window thread's processor time between two ticks: apart from the
    // lateness that comes from other processes taking the processor.
    std::vector<double> busy_;
    double last_cpu_ = 0;
};

}  // namespace linesift::bench
