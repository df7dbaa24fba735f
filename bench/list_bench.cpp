// Times the line list on large documents: building rows, filtering, painting
// a screen (also with lines of megabytes), word wrap, and drag selection.
//   QT_QPA_PLATFORM=offscreen list_bench LOG [SCRATCH_DIR]
// LOG is the 1 GiB benchmark log; SCRATCH_DIR (default /tmp) receives the
// generated documents (removed afterwards).
#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QScrollBar>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench_util.h"
#include "document/text_document.h"
#include "views/line_list_view.h"

using namespace linesift;
using linesift::bench::Seconds;

namespace {

// The slowest of several paints of the whole viewport.
double WorstPaintMs(LineListView& list, int times) {
    QImage image(list.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    double worst = 0;
    for (int i = 0; i < times; ++i) {
        worst = std::max(worst, 1000 * Seconds([&] { list.viewport()->render(&image); }));
    }
    return worst;
}

bool Load(TextDocument& document, const std::string& path) {
    if (!document.LoadFromFile(FromNativePath(path))) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), document.LastError().c_str());
        return false;
    }
    return true;
}

void BenchBigLog(const std::string& path) {
    TextDocument document;
    if (!Load(document, path)) {
        return;
    }
    LineListView list(document);
    list.resize(1200, 900);
    list.show();
    std::printf("document: %zu lines\n", document.LineCount());
    std::printf("Rebuild, word wrap off: %.3f s\n", Seconds([&] { list.Rebuild(false, true); }));
    std::printf("SetFilter, empty query: %.3f s\n", Seconds([&] { list.SetFilter({}); }));
    std::printf("SetFilter, show all 'error': %.3f s\n", Seconds([&] {
                    list.SetFilter({.text = u"error", .filter_mode = static_cast<FilterMode>(2)});
                }));
    std::printf("paint one screen, top: %.2f ms\n", WorstPaintMs(list, 20));
    list.verticalScrollBar()->setValue(list.verticalScrollBar()->maximum() / 2);
    std::printf("paint one screen, middle: %.2f ms\n", WorstPaintMs(list, 20));
    std::printf("SetFilter, hide unmatched 'error': %.3f s\n", Seconds([&] {
                    list.SetFilter({.text = u"error", .filter_mode = static_cast<FilterMode>(0)});
                }));
    std::printf("rows: %zu bytes each\n", sizeof(TextRow));
}

void BenchHugeLines(const std::string& scratch) {
    std::string path = scratch + "/linesift-huge-lines.txt";
    {
        std::ofstream out(path, std::ios::binary);
        // Realistic long lines: a match every few kilobytes.
        std::string chunk;
        for (int i = 0; i < 1000; ++i) {
            chunk += i == 500 ? "word error " : "word text ";
        }
        for (int line = 0; line < 40; ++line) {
            size_t size = line == 5 ? 50u << 20 : 4u << 20;
            for (size_t n = 0; n < size; n += chunk.size()) {
                out << chunk;
            }
            out << '\n';
        }
    }
    TextDocument document;
    if (!Load(document, path)) {
        return;
    }
    std::remove(path.c_str());
    LineListView list(document);
    list.resize(1200, 900);
    list.show();
    list.Rebuild(false, true);
    std::printf("huge lines, first paint (measures): %.2f ms\n", WorstPaintMs(list, 1));
    std::printf("huge lines, paint: %.2f ms\n", WorstPaintMs(list, 10));
    list.SetFilter({.text = u"error", .filter_mode = static_cast<FilterMode>(2)});
    std::printf("huge lines, highlighted paint: %.2f ms\n", WorstPaintMs(list, 10));
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum() / 3);
    std::printf("huge lines, highlighted paint scrolled right: %.2f ms\n", WorstPaintMs(list, 10));
}

void BenchWordWrap(const std::string& log, const std::string& scratch) {
    std::string path = scratch + "/linesift-1m-lines.txt";
    {
        std::ifstream in(log, std::ios::binary);
        std::ofstream out(path, std::ios::binary);
        std::string line;
        for (int i = 0; i < 1000000 && std::getline(in, line); ++i) {
            out << line << '\n';
        }
    }
    TextDocument document;
    if (!Load(document, path)) {
        return;
    }
    std::remove(path.c_str());
    LineListView list(document);
    list.resize(800 + list.verticalScrollBar()->sizeHint().width(), 900);
    list.show();
    list.Rebuild(false, true);
    double wrapSeconds = Seconds([&] { list.SetWordWrap(true, true, false); });
    std::printf("word wrap on %zu lines at %d px: %.3f s (%lld rows)\n", document.LineCount(),
                list.viewport()->width(), wrapSeconds,
                static_cast<long long>(list.ShownRowCount()));
    std::printf("paint one wrapped screen: %.2f ms\n", WorstPaintMs(list, 20));
}

void BenchDrag(const std::string& scratch) {
    std::string path = scratch + "/linesift-10m-rows.txt";
    {
        std::ofstream out(path, std::ios::binary);
        for (int i = 0; i < 10000000; ++i) {
            out << "row " << i << '\n';
        }
    }
    TextDocument document;
    if (!Load(document, path)) {
        return;
    }
    std::remove(path.c_str());
    LineListView list(document);
    list.resize(600, 800);
    list.show();
    list.Rebuild(false, true);
    QWidget* vp = list.viewport();
    auto send = [&](QEvent::Type type, QPoint p, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(p), vp->mapToGlobal(QPointF(p)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(vp, &e);
    };
    QScrollBar* bar = list.verticalScrollBar();
    bar->setValue(bar->maximum() / 2);
    QImage image(vp->size(), QImage::Format_ARGB32_Premultiplied);
    // A drag down the view and back up; each move is timed with the paint it causes.
    auto drag = [&](Qt::KeyboardModifiers mods) {
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(50, 10),
                          vp->mapToGlobal(QPointF(50, 10)), Qt::LeftButton, Qt::LeftButton, mods);
        QApplication::sendEvent(vp, &press);
        double worst = 0;
        for (int step = 1; step <= 80; ++step) {
            int y = 10 + (step <= 40 ? step : 80 - step) * 19;
            worst = std::max(worst, 1000 * Seconds([&] {
                                        send(QEvent::MouseMove, QPoint(50, y), Qt::LeftButton);
                                        vp->render(&image);
                                    }));
        }
        send(QEvent::MouseButtonRelease, QPoint(50, 10), Qt::NoButton);
        return worst;
    };
    double plain = drag(Qt::NoModifier);
    std::printf("drag over %lld rows: slowest move %.2f ms\n",
                static_cast<long long>(list.ShownRowCount()), plain);
    double shift = drag(Qt::ShiftModifier);
    std::printf("drag after a Shift press (first move walks every row): slowest move %.2f ms\n",
                shift);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_bench LOG [SCRATCH_DIR]\n");
        return 2;
    }
    std::string scratch = argc > 2 ? argv[2] : "/tmp";
    BenchBigLog(argv[1]);
    BenchHugeLines(scratch);
    BenchWordWrap(argv[1], scratch);
    BenchDrag(scratch);
    return 0;
}
