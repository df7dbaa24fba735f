#include "batch.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cinttypes>
#include <utility>

#include "batch_input.h"
#include "document/file_handle.h"
#include "document/text_document.h"
#include "follow.h"
#include "line_printer.h"
#include "output_writer.h"
#include "platform/clock.h"
#include "platform/code_page.h"

namespace linesift {
namespace {

template <class T, size_t N>
bool Lookup(const std::pair<const char*, T> (&table)[N], const std::string& name, T& out) {
    for (const auto& [key, value] : table) {
        if (name == key) {
            out = value;
            return true;
        }
    }
    return false;
}

const std::pair<const char*, QueryMode> kQueryModes[] = {
    {"naive", QueryMode::Naive}, {"smart", QueryMode::Smart}, {"regex", QueryMode::Regex}};
const std::pair<const char*, FilterMode> kFilterModes[] = {
    {"hide-unmatched", FilterMode::HideUnmatched},
    {"hide-matched", FilterMode::HideMatched},
    {"show-all", FilterMode::ShowAll}};
const std::pair<const char*, ColorWhen> kColorWhens[] = {
    {"auto", ColorWhen::Auto}, {"always", ColorWhen::Always}, {"never", ColorWhen::Never}};

// An option without a value. Returns whether name is one.
bool ReadFlag(const std::string& name, BatchOptions& o) {
    bool* flag = name == "--print"                         ? &o.print
                 : name == "--json"                        ? &o.json
                 : name == "--count"                       ? &o.count
                 : name == "--stats"                       ? &o.stats
                 : name == "--follow"                      ? &o.follow
                 : name == "--match-case"                  ? &o.request.match_case
                 : name == "--whole-word"                  ? &o.request.whole_word
                 : name == "-n" || name == "--line-number" ? &o.line_number
                                                           : nullptr;
    if (flag != nullptr) {
        *flag = true;
    }
    return flag != nullptr;
}

// The context count that name sets, or null when it is no context option.
int* ContextOption(const std::string& name, BatchOptions& o) {
    return name == "-A" || name == "--after-context"    ? &o.after_context
           : name == "-B" || name == "--before-context" ? &o.before_context
           : name == "-C" || name == "--context"        ? &o.context
                                                        : nullptr;
}

// A count of lines: decimal digits only, at most 100,000,000.
bool ReadCount(const std::string& value, int& out) {
    if (value.empty() || value.size() > 9 ||
        value.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    out = std::stoi(value);
    return out <= 100000000;
}

// An option with a value. Returns whether the value is valid for name.
bool ReadValue(const std::string& name, const std::string& value, BatchOptions& o) {
    if (name == "--filter") {
        o.filter = true;
        o.request.text = Utf8ToUtf16(value);
        return true;
    }
    if (int* lines = ContextOption(name, o)) {
        return ReadCount(value, *lines);
    }
    if (name == "--query-mode") {
        return Lookup(kQueryModes, value, o.request.query_mode);
    }
    if (name == "--filter-mode") {
        return Lookup(kFilterModes, value, o.request.filter_mode);
    }
    return Lookup(kColorWhens, value, o.color);
}

// Reads the option at args[i], and its value ("--name=value", or the next
// argument), advancing i past what it used.
bool ReadOption(const std::vector<std::string>& args, size_t& i, BatchOptions& o,
                std::string& error) {
    std::string name = args[i];
    size_t eq = name.find('=');
    bool attached = name.rfind("--", 0) == 0 && eq != std::string::npos;
    std::string value = attached ? name.substr(eq + 1) : std::string();
    name = attached ? name.substr(0, eq) : name;
    // A short option's value may be joined to it, as in -C3.
    if (name.size() > 2 && name[0] == '-' && name[1] != '-' &&
        ContextOption(name.substr(0, 2), o)) {
        attached = true;
        value = name.substr(2);
        name = name.substr(0, 2);
    }
    bool valued = name == "--filter" || name == "--query-mode" || name == "--filter-mode" ||
                  name == "--encoding" || (name == "--color" && attached) ||
                  ContextOption(name, o) != nullptr;
    if (!valued) {
        if (!attached && (ReadFlag(name, o) || name == "--color")) {
            return true;
        }
        error = "unknown option '" + args[i] + "'";
        return false;
    }
    if (!attached) {
        if (i + 1 >= args.size()) {
            error = "option '" + name + "' needs a value";
            return false;
        }
        value = args[++i];
    }
    if (name == "--encoding") {
        return ParseEncodingName(value, o.encoding, error);
    }
    if (!ReadValue(name, value, o)) {
        error = "invalid value '" + value + "' for '" + name + "'";
        return false;
    }
    return true;
}

}  // namespace

BatchParse ParseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                               std::string& error) {
    bool batch = false;
    bool endOfOptions = false;
    std::vector<std::string> files;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (endOfOptions || arg.empty() || arg[0] != '-' || arg == "-") {
            files.push_back(arg);
        } else if (arg == "--") {
            endOfOptions = true;
        } else if (!ReadOption(args, i, options, error)) {
            return BatchParse::Error;
        } else {
            batch = true;
        }
    }
    if (!batch) {
        if (!files.empty()) {
            options.file = files.front();
        }
        return BatchParse::NotBatch;
    }
    if (options.HasContext() && options.request.filter_mode != FilterMode::HideUnmatched) {
        error = "context lines (-A, -B, -C) need the filter mode hide-unmatched";
        return BatchParse::Error;
    }
    if (files.size() != 1) {
        error = files.empty() ? "no file given" : "more than one file given";
        return BatchParse::Error;
    }
    if (options.follow && (options.count || options.stats || options.HasContext())) {
        error = "--follow cannot be combined with --count, --stats, -A, -B or -C";
        return BatchParse::Error;
    }
    if (options.follow && files.front() == "-") {
        error = "--follow needs a file, not standard input";
        return BatchParse::Error;
    }
    options.file = files.front() == "-" ? "/dev/stdin" : files.front();
    return BatchParse::Batch;
}

namespace {

long PeakRssMb() {
    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// A query that is to be applied but cannot be: the engine's message for a
// regular expression that does not compile.
bool CheckRequest(const FilterRequest& request, std::FILE* err) {
    if (request.text.empty() || ValidateFilterRequest(request)) {
        return true;
    }
    RegexPattern pattern;
    pattern.Compile(request.text, RegexSyntax::Perl);
    std::fprintf(err, "linesift: invalid regular expression: %s\n",
                 Utf16ToUtf8(pattern.ErrorText()).c_str());
    return false;
}

bool UseColor(const BatchOptions& options, std::FILE* out) {
    if (options.json || options.color == ColorWhen::Never) {
        return false;
    }
    return options.color == ColorWhen::Always || ::isatty(::fileno(out)) == 1;
}

// The text of the document's line at index. The one place the batch mode
// reads a single line of a document; buffer is scratch space the text may
// live in. Empty when the read failed (document.FileChanged() says why).
std::u16string_view LineTextOf(const TextDocument& document, size_t index, std::u16string& buffer) {
    return document.LineText(index, buffer);
}

// The shown lines with the lines around them, grouped as grep groups them:
// "--" between groups that are neither adjacent nor overlapping.
ReadStatus WriteWithContext(const BatchOptions& options, const TextDocument& document,
                            const FilterResult& result, LinePrinter& printer,
                            OutputWriter& writer) {
    const size_t count = document.LineCount();
    std::u16string buffer;
    size_t next = 0;       // the first line not yet printed
    size_t afterEnd = 0;   // the after-context of the last shown line ends before this
    bool printed = false;  // anything so far
    auto failed = [&] { return writer.Failed() || document.FileChanged(); };
    auto print = [&](size_t i, bool matched, bool context) {
        std::u16string_view text = LineTextOf(document, i, buffer);
        if (!document.FileChanged()) {
            printer.Print(i, text, matched, context);
        }
    };
    auto context = [&](size_t from, size_t to) {
        for (size_t i = from; i < to && !failed(); ++i) {
            print(i, false, true);
        }
    };
    const ShownLines& shown = result.shown;
    for (size_t row = 0; row < shown.size() && !failed(); ++row) {
        const size_t index = shown.LineAt(row);
        context(next, std::min(afterEnd, index));
        next = std::max(next, std::min(afterEnd, index));
        size_t start = std::max(next, index >= options.Before() ? index - options.Before() : 0);
        if (printed && start > next) {
            printer.PrintGroupSeparator();
        }
        context(start, index);
        if (!failed()) {
            print(index, result.matched.Test(index), false);
        }
        printed = true;
        next = index + 1;
        afterEnd = std::min(count, index + 1 + options.After());
    }
    context(next, afterEnd);
    return document.FileChanged() ? ReadStatus::FileChanged : ReadStatus::Ok;
}

ReadStatus WriteShown(const BatchOptions& options, const TextDocument& document,
                      const FilterResult& result, std::FILE* out, OutputWriter& writer) {
    if (options.count) {
        writer.Append(std::to_string(result.shown.size()));
        writer.Append("\n");
        return ReadStatus::Ok;
    }
    LinePrinter printer(options, UseColor(options, out), writer);
    if (options.HasContext()) {
        return WriteWithContext(options, document, result, printer, writer);
    }
    LineBatch batch;
    ReadStatus status = ReadStatus::Ok;
    const ShownLines& shown = result.shown;
    ForEachRun(
        shown.WordCount(), [&shown](size_t w) { return shown.Word(w); },
        [&](size_t begin, size_t end) {
            if (status != ReadStatus::Ok) {
                return;
            }
            status = document.ReadLines(begin, end, batch, [&](const LineBatch& lines) {
                for (size_t k = 0; k < lines.size() && !writer.Failed(); ++k) {
                    size_t index = lines.FirstLine() + k;
                    printer.Print(index, lines.Line(k), result.matched.Test(index));
                }
                return !writer.Failed();
            });
        });
    return status;
}

}  // namespace

int RunBatch(const BatchOptions& options, std::FILE* out, std::FILE* err) {
    if (!CheckRequest(options.request, err)) {
        return 2;
    }
    if (options.follow) {
        return RunFollow(options, UseColor(options, out), out, err);
    }
    TextDocument document;
    int64_t start = MonotonicMs();
    std::string error;
    std::string incomplete;
    if (!LoadBatchInput(options.file, document, error, incomplete,
                        LoadOptions{.encoding = options.encoding})) {
        std::fprintf(err, "linesift: %s: %s\n", options.file.c_str(), error.c_str());
        return 2;
    }
    int64_t loadMs = MonotonicMs() - start;

    FilterResult result;
    start = MonotonicMs();
    FilterStatus filtered = RunFilterPass(options.request, document, result);
    if (filtered != FilterStatus::Done) {
        std::fprintf(err, "linesift: %s: %s\n", options.file.c_str(),
                     filtered == FilterStatus::FileChanged
                         ? ReadStatusText(ReadStatus::FileChanged)
                         : "not enough memory to filter the lines");
        return 2;
    }
    int64_t filterMs = MonotonicMs() - start;

    OutputWriter writer(out);
    ReadStatus read = WriteShown(options, document, result, out, writer);
    if (read != ReadStatus::Ok) {
        writer.Flush();
        std::fprintf(err, "linesift: %s: %s\n", options.file.c_str(), ReadStatusText(read));
        return 2;
    }
    if (!writer.Flush()) {
        std::fprintf(err, "linesift: could not write the output\n");
        return 2;
    }
    if (result.undecided_lines > 0) {
        std::fprintf(err,
                     "linesift: the regular expression backtracks too much: %zu of %zu lines "
                     "could not be decided%s; the result is incomplete\n",
                     result.undecided_lines, document.LineCount(),
                     result.gave_up ? " (the filter stopped; no line counts as matching)" : "");
    }
    if (options.stats) {
        std::fprintf(err,
                     "load_ms=%" PRId64 " filter_ms=%" PRId64 " lines=%zu bytes=%" PRIu64
                     " peak_rss_mb=%ld\n",
                     loadMs, filterMs, document.LineCount(),
                     static_cast<uint64_t>(GetFileSizeByPath(options.file)), PeakRssMb());
    }
    if (!incomplete.empty()) {
        std::fprintf(err, "linesift: %s: %s\n", options.file.c_str(), incomplete.c_str());
    }
    if (result.undecided_lines > 0 || !incomplete.empty()) {
        return 2;
    }
    return result.shown.empty() ? 1 : 0;
}

}  // namespace linesift
