// Times real paints of the line list at 1200x900 with 8 highlighters on:
//   QT_QPA_PLATFORM=offscreen paint_bench LOG [PAINTS]
// Each case marks the whole list widget (rows, gutter, scroll bars) for
// painting and paints it with repaint(), PAINTS times (default 200), and prints the median and the
// slowest paint. "same screen" paints the rows again, with the runs the list
// caches per line; "new screen" scrolls a page before each paint (not timed),
// so every row's runs are found afresh, as when the user pages through.
// The CPU median counts only the time the window's thread ran: on a busy
// machine the wall clock also holds the waits for a core.
#include <QApplication>
#include <QScrollBar>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "bench_util.h"
#include "document/text_document.h"
#include "settings/app_settings.h"
#include "views/line_list_view.h"

using namespace linesift;

namespace {

using Clock = std::chrono::steady_clock;

struct Figures {
    double median;
    double max;
    double cpuMedian;  // the time the window's thread ran, apart from waits for a core
};

// Times paint() once after each prepare(), which is not timed.
Figures TimePaints(int paints, const std::function<void(int)>& prepare,
                   const std::function<void()>& paint) {
    std::vector<double> ms;
    std::vector<double> cpu;
    for (int i = 0; i < paints; ++i) {
        prepare(i);
        const double cpu0 = bench::ThreadCpuMs();
        const auto t0 = Clock::now();
        paint();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        cpu.push_back(bench::ThreadCpuMs() - cpu0);
    }
    std::sort(ms.begin(), ms.end());
    std::sort(cpu.begin(), cpu.end());
    return {ms[ms.size() / 2], ms.back(), cpu[cpu.size() / 2]};
}

// Eight rules of the kinds people keep on: words in both colours, a quoted
// string and a number with its unit as regular expressions.
std::vector<HighlightRule> EightRules() {
    const Color32 red{.blue = 0x2F, .green = 0x2F, .red = 0xD3};
    const Color32 amber{.blue = 0x07, .green = 0xC1, .red = 0xFF};
    const Color32 blue{.blue = 0xB4, .green = 0x5F, .red = 0x1A};
    const Color32 white{.blue = 0xFF, .green = 0xFF, .red = 0xFF};
    std::vector<HighlightRule> rules = {
        {.text = u"ERROR",
         .match_case = true,
         .whole_word = true,
         .foreground = white,
         .background = red},
        {.text = u"WARN", .match_case = true, .whole_word = true, .background = amber},
        {.text = u"timeout", .background = amber},
        {.text = u"user", .foreground = blue},
        {.text = u"status", .foreground = blue},
        {.text = u"SELECT", .match_case = true, .background = amber},
        {.text = u"\"[^\"]*\"", .query_mode = 2, .foreground = blue},
        {.text = u"\\d+ ms", .query_mode = 2, .foreground = red},
    };
    return rules;
}

// Counts the paint events of the widgets it watches: each timed paint must
// have painted the rows, not only the frame around them.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return QObject::eventFilter(watched, event);
    }
};

PaintCounter* g_rows = nullptr;  // watches the list's viewport; owned by main

void Report(const char* name, const Figures& figures, int rowPaints) {
    std::printf("%-40s median %6.2f ms, max %6.2f ms, CPU median %6.2f ms (%d row paints)\n", name,
                figures.median, figures.max, figures.cpuMedian, rowPaints);
    std::fflush(stdout);
}

void RunCases(LineListView& list, int paints) {
    QScrollBar* bar = list.verticalScrollBar();
    const int page =
        list.viewport()->height() / LineListView::kRowHeight * LineListView::kRowHeight;
    const int middle = bar->maximum() / 2;
    auto paint = [&list] { list.repaint(); };
    bar->setValue(middle);
    list.repaint();
    // Everything of the list is painted: each child is marked for painting
    // (not timed), and repaint() paints what is marked at once.
    auto markAll = [&list] {
        for (QWidget* child : list.findChildren<QWidget*>()) {
            child->update();
        }
    };
    g_rows->paints = 0;
    const Figures same = TimePaints(
        paints, [&](int) { markAll(); }, paint);
    Report("  same screen", same, g_rows->paints);
    g_rows->paints = 0;
    const Figures next = TimePaints(
        paints,
        [&](int i) {
            bar->setValue(middle + (i + 1) * page);
            markAll();
        },
        paint);
    Report("  new screen (a page further each time)", next, g_rows->paints);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: paint_bench LOG [PAINTS]\n");
        return 2;
    }
    const int paints = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    TextDocument document;
    if (!document.LoadFromFile(FromNativePath(argv[1]))) {
        std::fprintf(stderr, "cannot load %s: %s\n", argv[1], document.LastError().c_str());
        return 1;
    }
    LineListView list(document);
    list.resize(1200, 900);
    list.show();
    PaintCounter rows;
    g_rows = &rows;
    list.viewport()->installEventFilter(&rows);
    list.Rebuild(false, true);
    QApplication::processEvents();
    std::printf("%zu lines, list %dx%d, %d paints per case\n", document.LineCount(), list.width(),
                list.height(), paints);

    list.SetHighlighters({});
    std::printf("no highlighters, every line shown:\n");
    RunCases(list, paints);

    list.SetHighlighters(EightRules());
    std::printf("8 highlighters, every line shown:\n");
    RunCases(list, paints);

    list.SetFilter({.text = u"error", .filter_mode = FilterMode::ShowAll});
    std::printf("8 highlighters, query \"error\" highlighted in Show All:\n");
    RunCases(list, paints);

    list.SetLineNumbers(true);
    list.SetFilter({.text = u"error", .context_before = 3, .context_after = 3});
    std::printf("8 highlighters, \"error\" with 3 context lines, line numbers:\n");
    RunCases(list, paints);
    return 0;
}
