// Times the reading tools on a loaded document:
//   reading_bench FILE [repeats]
// - a filter pass for "error" without and with three context lines, and the
//   same result shown again with context and in Show All without a pass;
// - Find Next from the first line to a match 5 million lines (or most of the
//   document) away, and back with Find Previous;
// - the highlighters' runs of a screen of 45 rows with 8 rules on, the work
//   a paint adds for them.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "document/text_document.h"
#include "filter/filter_pass.h"
#include "filter/filtered_lines.h"
#include "filter/line_navigation.h"
#include "highlight/line_highlighter.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace linesift;

// The best of repeats runs of fn, in milliseconds.
double BestMs(int repeats, const std::function<void()>& fn) {
    double best = 1e18;
    for (int i = 0; i < repeats; ++i) {
        const auto t0 = Clock::now();
        fn();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return best;
}

void TimeContext(const TextDocument& document, int repeats) {
    FilterResult plain;
    FilterResult context;
    const FilterRequest error{.text = u"error"};
    FilterRequest withContext = error;
    withContext.context_before = withContext.context_after = 3;
    const double passMs = BestMs(repeats, [&] { RunFilterPass(error, document, plain); });
    const double contextMs =
        BestMs(repeats, [&] { RunFilterPass(withContext, document, context); });
    FilteredLines lines;
    lines.Reset(document.LineCount());
    lines.Apply(plain);
    const double reshowMs = BestMs(repeats, [&] { (void)ReshownResult(lines, withContext); });
    FilterRequest all = error;
    all.filter_mode = FilterMode::ShowAll;
    const double showAllMs = BestMs(repeats, [&] { (void)ReshownResult(lines, all); });
    std::printf("pass \"error\": %.1f ms, %zu shown; with -C 3: %.1f ms (%.2fx), %zu shown\n",
                passMs, plain.shown.size(), contextMs, contextMs / passMs, context.shown.size());
    std::printf("shown again with -C 3 without a pass: %.1f ms; in Show All: %.1f ms\n", reshowMs,
                showAllMs);
}

void TimeFindNext(size_t lineCount, int repeats) {
    const size_t far = std::min<size_t>(5000000, lineCount - 1);
    FilterResult result;
    result.matched.Reset(lineCount);
    result.matched.Set(0);
    result.matched.Set(far);
    result.shown.ShowAll(lineCount);
    FilteredLines lines;
    lines.Reset(lineCount);
    lines.Apply(std::move(result));
    ShownStep step;
    const double nextMs = BestMs(repeats, [&] { step = FindMatchedShown(lines, 0, true); });
    const double previousMs =
        BestMs(repeats, [&] { step = FindMatchedShown(lines, static_cast<int64_t>(far), false); });
    std::printf("find next %zu lines away: %.3f ms; previous: %.3f ms (shown line %lld)\n", far,
                nextMs, previousMs, static_cast<long long>(step.shown));
}

void TimeHighlighters(const TextDocument& document, int repeats) {
    const Color32 red{.red = 0xFF};
    std::vector<HighlightRule> rules;
    for (const char16_t* text : {u"error", u"warn", u"timeout", u"user", u"status", u"GET"}) {
        rules.push_back({.text = text, .background = red});
    }
    rules.push_back({.text = u"\"[^\"]*\"", .query_mode = 2, .foreground = red});
    rules.push_back({.text = u"\\d+ms", .query_mode = 2, .foreground = red});
    LineHighlighter highlighter(rules);
    std::vector<ColoredRange> runs;
    std::u16string buffer;
    size_t colored = 0;
    const size_t first = document.LineCount() / 2;
    const double ms = BestMs(repeats, [&] {
        for (size_t line = first; line < first + 45 && line < document.LineCount(); ++line) {
            highlighter.RunsOf(document.LineText(line, buffer), runs);
            colored += runs.size();
        }
    });
    std::printf("highlighter runs of 45 rows with 8 rules: %.3f ms (%zu runs)\n", ms,
                colored / static_cast<size_t>(repeats));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: reading_bench FILE [repeats]\n");
        return 2;
    }
    const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    TextDocument document;
    if (!document.LoadFromFile(FromNativePath(argv[1]))) {
        std::fprintf(stderr, "load failed: %s\n", document.LastError().c_str());
        return 1;
    }
    std::printf("%zu lines, best of %d\n", document.LineCount(), repeats);
    TimeFindNext(document.LineCount(), repeats);
    TimeHighlighters(document, repeats);
    TimeContext(document, repeats);
    return 0;
}
