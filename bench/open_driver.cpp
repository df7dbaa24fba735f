// Drives the desktop program's main window offscreen as a user would: shows
// it, opens a file, types a query one keystroke at a time (each keystroke
// filters again, as with search-as-you-type), paints, and closes.
//   QT_QPA_PLATFORM=offscreen LINESIFT_DATA_DIR=DIR open_driver FILE [QUERY [regex]]
// Prints the time of each step. Exits with 0 when the file opened and 1 when
// it did not (the message the user would see goes to stderr), so that a
// failure is told apart from a crash.
#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <cstdio>
#include <memory>
#include <string>

#include "bench_util.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "views/search_box.h"
#include "window_bench_util.h"

using namespace linesift;
using namespace linesift::bench;

namespace {

// Types query into the search box one character at a time and prints the
// time each keystroke took (each filters the document again).
void TypeQuery(MainFrame& frame, const QString& query) {
    frame.SearchField().Activate(false);
    std::printf("keystrokes");
    for (qsizetype n = 1; n <= query.size(); ++n) {
        double s = Seconds([&] { frame.SearchField().Edit().setText(query.left(n)); });
        std::printf(" %.3f", s);
    }
    std::printf(" s\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_driver FILE [QUERY [regex]]\n");
        return 2;
    }
    QApplication app(argc, argv);
    std::unique_ptr<MainFrame> window = ShowMainFrame();
    MainFrame& frame = *window;
    bool opened = false;
    double open = Seconds([&] { opened = frame.OpenFile(FromNativePath(argv[1]), false); });
    std::printf("open %.3f s, %s, %zu lines\n", open, opened ? "opened" : "failed",
                frame.Document().LineCount());
    if (argc > 3 && std::string(argv[3]) == "regex") {
        frame.RunCommand(cmd::kRegexQuery);
    }
    if (argc > 2) {
        TypeQuery(frame, QString::fromUtf8(argv[2]));
    }
    QImage image(frame.size(), QImage::Format_ARGB32_Premultiplied);
    std::printf("paint %.1f ms\n", 1000 * Seconds([&] { frame.render(&image); }));
    return opened ? 0 : 1;
}
