// How long the window's event loop stalls while the real main window opens a
// large file and filters it as the user types. A 5 ms repeating timer records
// how late the loop runs it; keys are typed with real key events at 30 ms
// intervals into the search box (search-as-you-type).
//   QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=DIR [LINESIFT_EXPORT_PATH=OUT]
//       window_stall_bench FILE [QUERY [RARE]]
// Export is measured only with LINESIFT_EXPORT_PATH (the file is removed after).
// Prints: the open time; the timer's lateness while typing (max, p99) and the
// window thread's own processor time between two ticks (its longest work, the
// part of a stall that is this program's and not the machine's load); the
// time from the last key to the final result; the time from typing RARE (set
// at once) to its first shown rows and to its final result. Then, with a
// filter that shows every line: private (RssAnon) and file-backed (RssFile)
// memory with word wrap off and on, and the stalls of turning word wrap on,
// a resize with it on, Select All + Copy and Export of all lines.
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "bench_util.h"
#include "settings/app_settings.h"
#include "shell/clipboard_backend.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "shell/query_list_pane.h"
#include "views/line_list_view.h"
#include "views/search_box.h"
#include "window_bench_util.h"

using namespace linesift;
using namespace linesift::bench;

namespace {

// Notes when the list first paints lines while the file still loads.
class FirstPaintProbe : public QObject {
  public:
    FirstPaintProbe(LineListView& list, const QElapsedTimer& clock) : list_(list), clock_(clock) {
        list_.viewport()->installEventFilter(this);
    }
    ~FirstPaintProbe() override { list_.viewport()->removeEventFilter(this); }
    double FirstMs() const { return first_ms_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && first_ms_ < 0 && list_.LoadPreviewRows() > 0) {
            first_ms_ = clock_.nsecsElapsed() / 1e6;
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    LineListView& list_;
    const QElapsedTimer& clock_;
    double first_ms_ = -1;
};

// The time of one pass of text over the document, on this thread, for comparison.
void TimeOnePass(MainFrame& frame, const QString& text) {
    QElapsedTimer clock;
    clock.start();
    FilterResult result;
    RunFilterPass(FilterRequest{.text = text.toStdU16String()}, frame.Document(), result);
    std::printf("one pass of \"%s\" alone: %.1f ms\n", text.toUtf8().constData(),
                clock.nsecsElapsed() / 1e6);
}

void TypeQuery(MainFrame& frame, const QString& query, StallProbe& probe) {
    QLineEdit& edit = frame.SearchField().Edit();
    frame.SearchField().Activate(false);
    probe.Start();
    double worstEcho = 0;
    for (QChar c : query) {
        QElapsedTimer key;
        key.start();
        QTest::keyClick(&edit, c.toLatin1());
        worstEcho = std::max(worstEcho, key.nsecsElapsed() / 1e6);
        RunFor(30);
    }
    QueryListPane& pane = frame.Pane();
    double settle = WaitFor([&] { return !pane.IsFiltering(); }, 60000);
    probe.Stop();
    probe.Print("typing");
    std::printf(
        "slowest keystroke (echo) %.1f ms; final result %.1f ms after the last key, %lld "
        "rows\n",
        worstEcho, settle, static_cast<long long>(pane.List().ShownRowCount()));
}

void SetRare(MainFrame& frame, const QString& rare, StallProbe& probe) {
    QueryListPane& pane = frame.Pane();
    probe.Start();
    frame.SearchField().Edit().clear();
    WaitFor([&] { return !pane.IsFiltering(); }, 60000);
    RunFor(200);
    probe.Stop();
    probe.Print("emptying the query");
    probe.Start();
    QElapsedTimer clock;
    clock.start();
    frame.SearchField().Edit().setText(rare);
    // The first chunk that shows rows, or the end of the pass.
    double first = WaitFor(
        [&] {
            return (pane.List().PartialFilterLines() >= 0 && pane.List().ShownRowCount() > 0) ||
                   !pane.IsFiltering();
        },
        60000);
    WaitFor([&] { return !pane.IsFiltering(); }, 60000);
    probe.Stop();
    probe.Print("rare term");
    std::printf("rare term \"%s\": first rows after %.1f ms, final after %.1f ms, %lld rows\n",
                rare.toUtf8().constData(), first, clock.nsecsElapsed() / 1e6,
                static_cast<long long>(pane.List().ShownRowCount()));
}

void PrintMemory(const char* what, size_t lines) {
    const long anon = StatusKb("RssAnon");
    std::printf("%s: RssAnon %ld KiB (%.2f B/line), RssFile %ld KiB\n", what, anon,
                anon * 1024.0 / std::max<size_t>(lines, 1), StatusKb("RssFile"));
}

// Runs step, then the event loop until done(), under the probe.
template <typename Step, typename Done>
void MeasureStep(const char* what, StallProbe& probe, const Step& step, const Done& done) {
    probe.Start();
    QElapsedTimer clock;
    clock.start();
    step();
    const double took = WaitFor(done, 600000);
    RunFor(50);
    probe.Stop();
    probe.Print(what);
    std::printf("%s: done after %.1f ms\n", what, took >= 0 ? clock.nsecsElapsed() / 1e6 : -1.0);
}

// The whole-document steps under a filter that shows every line.
void MeasureWholeDocument(MainFrame& frame, BatchDialogs& dialogs, StallProbe& probe) {
    QueryListPane& pane = frame.Pane();
    LineListView& list = pane.List();
    const size_t lines = frame.Document().LineCount();
    frame.SearchField().Edit().clear();
    WaitFor([&] { return !pane.IsFiltering(); }, 60000);
    // Hide the lines that hold a text no line holds: every line is shown.
    AppSettings::Instance().filter_mode = static_cast<int>(FilterMode::HideMatched);
    MeasureStep(
        "filter showing every line", probe,
        [&] { frame.SearchField().Edit().setText(QStringLiteral("qqzzqqzzqq")); },
        [&] { return !pane.IsFiltering(); });
    std::printf("shown lines %lld of %zu\n", static_cast<long long>(list.FilteredLineCount()),
                lines);
    RunFor(300);
    PrintMemory("open + filter showing every line, wrap off", lines);
    // A layout ends when the list's busy message ends; a resize starts its
    // layout from the event loop.
    int layoutsEnded = 0;
    QObject::connect(&list, &LineListView::busy,
                     [&](const QString& text) { layoutsEnded += text.isEmpty() ? 1 : 0; });
    int ended = layoutsEnded;
    MeasureStep(
        "word wrap on", probe, [&] { frame.RunCommand(cmd::kWordWrap); },
        [&] { return layoutsEnded > ended && !list.IsLayingOut(); });
    PrintMemory("open + filter showing every line, wrap on", lines);
    ended = layoutsEnded;
    MeasureStep(
        "resize with wrap on", probe, [&] { frame.resize(1200, 700); },
        [&] { return layoutsEnded > ended && !list.IsLayingOut(); });
    MeasureStep(
        "word wrap off", probe, [&] { frame.RunCommand(cmd::kWordWrap); },
        [&] { return !list.IsLayingOut(); });
    MeasureStep(
        "select all + copy", probe,
        [&] {
            list.setFocus();
            frame.RunCommand(cmd::kSelectAll);
            frame.RunCommand(cmd::kCopy);
        },
        [&] { return !list.IsCopying(); });
    std::printf("clipboard: %lld characters\n",
                static_cast<long long>(QGuiApplication::clipboard()->text().size()));
    PrintMemory("after the copy", lines);
    QGuiApplication::clipboard()->clear();
    if (!dialogs.export_path.isEmpty()) {
        MeasureStep(
            "export of all lines", probe, [&] { frame.RunCommand(cmd::kExportFilterResults); },
            [] { return true; });
        std::remove(dialogs.export_path.toLocal8Bit().constData());
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_stall_bench FILE [QUERY [RARE]]\n");
        return 2;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a run the kernel ends still shows how far it came
    QApplication app(argc, argv);
    QtClipboardBackend::Install();
    auto dialogs = std::make_unique<BatchDialogs>();
    BatchDialogs& dialogsRef = *dialogs;
    dialogsRef.export_path = QString::fromLocal8Bit(qgetenv("LINESIFT_EXPORT_PATH"));
    std::unique_ptr<MainFrame> window = ShowMainFrame(std::move(dialogs));
    MainFrame& frame = *window;
    StallProbe probe;
    QElapsedTimer clock;
    clock.start();
    probe.Start();
    double firstLinesMs = -1;
    bool opened = false;
    {
        FirstPaintProbe firstPaint(frame.Pane().List(), clock);
        opened = frame.OpenFile(FromNativePath(argv[1]), false);
        firstLinesMs = firstPaint.FirstMs();
    }
    const double openSeconds = clock.elapsed() / 1000.0;
    RunFor(100);  // the ticks after the rows are built
    probe.Stop();
    std::printf("open %.3f s, %s, %zu lines\n", openSeconds, opened ? "opened" : "failed",
                frame.Document().LineCount());
    if (firstLinesMs >= 0) {
        std::printf("first lines shown after %.1f ms (while loading)\n", firstLinesMs);
    }
    probe.Print("opening");
    if (!opened) {
        return 1;
    }
    const QString query = QString::fromUtf8(argc > 2 ? argv[2] : "timeout");
    TypeQuery(frame, query, probe);
    TimeOnePass(frame, query);
    if (argc > 3) {
        SetRare(frame, QString::fromUtf8(argv[3]), probe);
    }
    MeasureWholeDocument(frame, dialogsRef, probe);
    return 0;
}
