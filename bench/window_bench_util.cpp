#include "window_bench_util.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>

#include "bench_util.h"

namespace linesift::bench {

QMessageBox::StandardButton BatchDialogs::ShowMessage(QWidget*, const QString& text,
                                                      QMessageBox::StandardButtons,
                                                      QMessageBox::Icon) {
    std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    return QMessageBox::Ok;
}

std::unique_ptr<MainFrame> ShowMainFrame(std::unique_ptr<BatchDialogs> dialogs) {
    auto frame = std::make_unique<MainFrame>(std::move(dialogs));
    frame->resize(1000, 700);
    frame->show();
    QApplication::processEvents();
    return frame;
}

void RunFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

StallProbe::StallProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const qint64 now = clock_.nsecsElapsed();
        const double cpu = ThreadCpuMs();
        if (last_ >= 0) {
            lateness_.push_back(static_cast<double>(now - last_) / 1e6 - kIntervalMs);
            busy_.push_back(cpu - last_cpu_);
        }
        last_ = now;
        last_cpu_ = cpu;
    });
}

void StallProbe::Start() {
    lateness_.clear();
    busy_.clear();
    last_ = -1;
    clock_.start();
    timer_.start(kIntervalMs);
}

double StallProbe::MaxBusyMs() const {
    return busy_.empty() ? -1 : *std::max_element(busy_.begin(), busy_.end());
}

void StallProbe::Print(const char* what) const {
    std::vector<double> sorted = lateness_;
    std::sort(sorted.begin(), sorted.end());
    if (sorted.empty()) {
        std::printf("%s: no ticks\n", what);
        return;
    }
    std::printf(
        "%s: %zu ticks, lateness max %.1f ms, p99 %.1f ms; the window thread's "
        "own work between two ticks at most %.1f ms\n",
        what, sorted.size(), sorted.back(), sorted[sorted.size() * 99 / 100], MaxBusyMs());
}

}  // namespace linesift::bench
