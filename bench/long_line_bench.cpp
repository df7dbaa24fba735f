// How long the window's event loop stalls on a file with very long lines
// (say one line of 300 MB) when word wrap is turned on, the window resized
// with it on, and the list scrolled to the line's last rows; and, for
// comparison, how long wrapping the longest line whole takes. A 5 ms
// repeating timer records how late the loop runs it.
//   QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=DIR long_line_bench FILE
// Prints for each step: the timer's worst and 99th-percentile lateness, the
// window thread's own processor time between two ticks at most, how long
// the step took to end, and how many times the list painted meanwhile.
// Then it applies a query that matches in the line and copies it. With
// --inline (after FILE) the list prepares no line on a thread of its own:
// every line's text and matches are made on the window's thread, for comparison.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "document/clipboard_text.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "views/line_list_view.h"
#include "views/list_font.h"
#include "views/search_box.h"
#include "views/word_wrap.h"
#include "window_bench_util.h"

using namespace linesift;

namespace {

// Counts the paint events of the list's rows.
class PaintCounter : public QObject {
  public:
    int count = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

PaintCounter* g_paints = nullptr;

// Runs step, then the event loop until done(), under the probe, and a
// little after so that the paints it caused are counted.
template <typename Step, typename Done>
void Measure(const char* what, bench::StallProbe& probe, const Step& step, const Done& done) {
    probe.Start();
    QElapsedTimer clock;
    clock.start();
    step();
    const double waited = bench::WaitFor(done, 600000);
    const double took = waited >= 0 ? clock.nsecsElapsed() / 1e6 : -1.0;
    bench::RunFor(100);
    probe.Stop();
    probe.Print(what);
    std::printf("%-28s took %.1f ms\n", "", took);
    std::printf("%-28s %d paints\n", "", g_paints->count);
    g_paints->count = 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: long_line_bench FILE\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QApplication app(argc, argv);
    const std::unique_ptr<MainFrame> window = bench::ShowMainFrame();
    MainFrame& frame = *window;
    bench::StallProbe probe;
    LineListView& list = frame.Pane().List();
    PaintCounter paints;
    g_paints = &paints;
    list.viewport()->installEventFilter(&paints);
    if (argc > 2 && std::string(argv[2]) == "--inline") {
        list.SetBackgroundLineBytesForTesting(UINT64_MAX);
    }
    // A line prepared on another thread is painted again when it is ready.
    auto ready = [&] { return g_paints->count > 0 && !list.IsPreparingLine(); };
    bool opened = false;
    Measure(
        "open and first paint", probe,
        [&] { opened = frame.OpenFile(FromNativePath(argv[1]), false); }, ready);
    if (!opened) {
        return 1;
    }
    std::printf("%zu lines\n", frame.Document().LineCount());
    {
        // For comparison: the longest line wrapped whole, as one step of the
        // layout used to do it.
        const TextDocument& document = frame.Document();
        size_t longest = 0;
        for (size_t i = 1; i < document.LineCount(); ++i) {
            if (document.EncodedBytes(i, i + 1) > document.EncodedBytes(longest, longest + 1)) {
                longest = i;
            }
        }
        std::u16string buffer;
        const std::u16string_view text = document.LineText(longest, buffer);
        QElapsedTimer clock;
        clock.start();
        const uint32_t rows =
            CountWrappedRows(text, list.viewport()->width() - 18.0, ListFontAdvances());
        std::printf("the longest line (%zu units) wrapped whole in one go: %.1f ms, %u rows\n",
                    text.size(), clock.nsecsElapsed() / 1e6, rows);
    }
    auto laidOut = [&] { return !list.IsLayingOut(); };
    Measure(
        "word wrap on", probe, [&] { frame.RunCommand(cmd::kWordWrap); }, laidOut);
    std::printf("rows with wrap on: %lld\n", static_cast<long long>(list.ShownRowCount()));
    // A resize starts its layout from the event loop: wait for it to start.
    auto resized = [&](int width) {
        bool started = false;
        Measure(
            "resize with wrap on", probe,
            [&] {
                frame.resize(width, 700);
                started = false;
                QTimer::singleShot(0, [&] { started = true; });
            },
            [&] { return started && !list.IsLayingOut(); });
    };
    resized(1200);
    resized(800);
    QScrollBar* bar = list.verticalScrollBar();
    Measure(
        "scroll to the last rows", probe, [&] { bar->setValue(bar->maximum()); },
        [] { return true; });
    Measure(
        "scroll to the middle", probe, [&] { bar->setValue(bar->maximum() / 2); },
        [] { return true; });
    Measure(
        "page down x20", probe,
        [&] {
            for (int i = 0; i < 20; ++i) {
                bar->setValue(bar->value() + bar->pageStep());
                QApplication::processEvents();
            }
        },
        [] { return true; });
    Measure(
        "word wrap off", probe, [&] { frame.RunCommand(cmd::kWordWrap); },
        [&] { return laidOut() && ready(); });
    // 64 characters: a few million matches in a line of 'a's, not hundreds of millions.
    QueryListPane& pane = frame.Pane();
    Measure(
        "query matching in the line", probe,
        [&] {
            frame.SearchField().Activate(false);
            frame.SearchField().Edit().setText(QString(64, QChar(u'a')));
        },
        [&] { return !pane.IsFiltering() && ready(); });
    Measure(
        "select all + copy", probe,
        [&] {
            list.SelectAll();
            std::printf("copying %lld lines: %lld\n",
                        static_cast<long long>(list.SelectedLineCount()),
                        static_cast<long long>(list.CopySelection()));
        },
        [&] { return !list.IsCopying(); });
    std::u16string copied;
    const bool got = ClipboardText::Instance().GetText(copied);
    std::printf("clipboard: %s, %zu characters\n", got ? "text" : "no text", copied.size());
    QGuiApplication::clipboard()->clear();
    return 0;
}
