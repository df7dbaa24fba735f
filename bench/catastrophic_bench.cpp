// Times regular expressions that backtrack catastrophically: one search on
// one line, and a filter pass over many such lines.
//   catastrophic_bench [lines] [line length]
// For each case it prints the time of one Test (and whether the engine gave
// up), the filter pass's time and the number of lines it shows.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "document/text_document.h"
#include "filter/filter_pass.h"
#include "filter/regex_pattern.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Case {
    const char* name;
    std::u16string regex;
    std::u16string line;
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void RunCase(const Case& c, size_t count) {
    linesift::RegexPattern pattern;
    pattern.Compile(c.regex, linesift::RegexSyntax::PerlIcase);
    auto t0 = Clock::now();
    bool matched = pattern.Test(c.line);
    double one = Seconds(t0);
    linesift::TextDocument lines;
    lines.LoadFromLines(std::vector<std::u16string>(count, c.line));
    linesift::FilterRequest request{.text = c.regex, .query_mode = linesift::QueryMode::Regex};
    linesift::FilterResult result;
    t0 = Clock::now();
    bool ok = linesift::RunFilterPass(request, lines, result) == linesift::FilterStatus::Done;
    double pass = Seconds(t0);
    std::printf("%-26s one line %8.3f ms (%s%s), pass over %zu lines %7.3f s, shown %zu%s\n",
                c.name, one * 1e3, matched ? "match" : "no match",
                pattern.HasError() ? ", engine gave up" : "", count, pass,
                ok ? result.shown.size() : 0,
                !ok              ? " (refused)"
                : result.gave_up ? " (pass gave up)"
                                 : "");
}

}  // namespace

int main(int argc, char** argv) {
    size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    size_t length = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
    std::u16string as(length, u'a');
    std::u16string xs(length, u'x');
    const std::vector<Case> cases = {
        {"(a+)+$ on a...ab", u"(a+)+$", as + u"b"},
        {"(x+x+)+y on x...x", u"(x+x+)+y", xs},
        {"(x+x+)+y on x...x z y", u"(x+x+)+y", xs + u" z y"},
        {"(a|aa)+$ on a...ab", u"(a|aa)+$", as + u"b"},
        {"(a+)+c on a...ab ac", u"(a+)+c", as + u"b ac"},
        {"(\\w+\\s?)+$ on w...w !", u"(\\w+\\s?)+$", std::u16string(length, u'w') + u" !"},
        {"(a+)+\\1$ on a...ab", u"(a+)+\\1$", as + u"b"},
    };
    for (const Case& c : cases) {
        RunCase(c, count);
    }
    return 0;
}
