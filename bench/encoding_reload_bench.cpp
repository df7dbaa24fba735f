// An encoding reload against the first load of the same file, in one run:
// the document alone (TextDocument::LoadFromFile with and without a chosen
// encoding) and the window (MainFrame::OpenFile, then File > Reopen with
// Encoding through its commands, 0.3 s apart, which read the file again).
//   QT_QPA_PLATFORM=offscreen encoding_reload_bench FILE [repeats]
// Prints each timing and, per way of loading, the best of the repeats.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_util.h"
#include "document/encoding_choice.h"
#include "document/text_document.h"
#include "platform/code_page.h"
#include "platform/native_path.h"
#include "shell/command_ids.h"
#include "shell/main_frame.h"
#include "window_bench_util.h"

using namespace linesift;

namespace {

double Seconds(const std::function<bool()>& work, bool& ok) {
    return bench::Seconds([&] { ok = work(); });
}

struct Timings {
    std::map<std::string, double> best;
    std::vector<std::string> order;

    void Add(const std::string& name, double s, size_t lines) {
        std::printf("  %-28s %.3f s  %zu lines\n", name.c_str(), s, lines);
        if (best.find(name) == best.end()) {
            order.push_back(name);
            best[name] = s;
        }
        best[name] = std::min(best[name], s);
    }
};

bool DocumentRound(const std::u16string& path, Timings& timings) {
    const std::vector<std::pair<std::string, std::string>> ways = {
        {"document first load", "auto"},
        {"document reload UTF-8", "UTF-8"},
        {"document reload windows-1252", "windows-1252"},
        {"document reload legacy", LegacyCodePageName()},
    };
    for (const auto& [label, name] : ways) {
        EncodingChoice choice;
        std::string error;
        if (!ParseEncodingName(name, choice, error)) {
            std::fprintf(stderr, "unknown encoding %s\n", name.c_str());
            return false;
        }
        auto document = std::make_unique<TextDocument>();
        bool ok = false;
        const double s = Seconds(
            [&] { return document->LoadFromFile(path, LoadOptions{.encoding = choice}); }, ok);
        if (!ok) {
            std::fprintf(stderr, "load failed: %s\n", document->LastError().c_str());
            return false;
        }
        const size_t lines = document->LineCount();
        timings.Add(label, s, lines);
        // What a reload spends first: letting go of the loaded document.
        timings.Add("document release", Seconds([&] { return (document.reset(), true); }, ok),
                    lines);
    }
    return true;
}

bool WindowRound(const std::u16string& path, Timings& timings) {
    const std::unique_ptr<MainFrame> window = bench::ShowMainFrame();
    MainFrame& frame = *window;
    bool ok = false;
    const double first = Seconds([&] { return frame.OpenFile(path, false); }, ok);
    timings.Add("window first load", first, frame.Document().LineCount());
    if (!ok) {
        return false;
    }
    const std::vector<std::pair<std::string, int>> commands = {
        {"window reload UTF-8", cmd::kEncodingUtf8},
        {"window reload legacy", cmd::kEncodingLegacy},
        {"window reload auto", cmd::kEncodingAuto},
    };
    for (const auto& [label, id] : commands) {
        // A user's pause between two commands, in which the window lets go
        // of the document the last one replaced.
        QTest::qWait(300);
        const double s = Seconds([&] { return frame.RunCommand(id); }, ok);
        if (!ok || frame.Document().LineCount() == 0) {
            std::fprintf(stderr, "%s failed\n", label.c_str());
            return false;
        }
        timings.Add(label, s, frame.Document().LineCount());
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: encoding_reload_bench FILE [repeats]\n");
        return 2;
    }
    // Recent Files and the remembered encodings go to a folder of their own.
    QTemporaryDir settings;
    if (qEnvironmentVariableIsEmpty("LINESIFT_DATA_DIR")) {
        qputenv("LINESIFT_DATA_DIR", settings.path().toLocal8Bit());
    }
    QApplication app(argc, argv);
    const std::u16string path = FromNativePath(argv[1]);
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("legacy code page: %s\n", LegacyCodePageName().c_str());
    Timings timings;
    for (int i = 0; i < repeats; ++i) {
        std::printf("round %d\n", i + 1);
        if (!DocumentRound(path, timings) || !WindowRound(path, timings)) {
            return 1;
        }
    }
    std::printf("best of %d\n", repeats);
    for (const std::string& name : timings.order) {
        std::printf("  %-28s %.3f s\n", name.c_str(), timings.best[name]);
    }
    return 0;
}
