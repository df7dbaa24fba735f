#include "command_line_help.h"

#include <array>

#include "program_version.h"

namespace linesift {
namespace {

// Kept in step with doc/linesift.1, which says the same in manual-page form.
constexpr std::string_view kHelp = R"(Usage: linesift [FILE]
  or:  linesift --print|--json|--count [OPTION]... FILE
  or:  linesift --follow [OPTION]... FILE
  or:  linesift --help|--version

Linesift reads large plain-text files by filtering their lines.

Desktop use:
  Without batch options Linesift opens its window and, when FILE is given,
  loads it once the window is shown. A query typed into the search box
  filters the lines. The Search menu picks the query mode (naive, smart or
  regex), Match Case and Match Whole Word Only; the View menu picks which
  lines are shown. Files can also be opened from the File menu or dropped on
  the window, and text imported from the clipboard. Files may be UTF-8 or
  UTF-16 with a byte order mark, UTF-8 without one, or ANSI: the locale's
  legacy character set, or windows-1252 under a UTF-8 locale.

Batch mode:
  With any of the options below Linesift opens no window: it loads FILE
  exactly as the window does (FILE '-' is standard input), filters its lines
  and writes the shown lines to standard output in UTF-8, each ending in LF.
  A file or standard input compressed with gzip, bzip2, xz or zstd is read
  as the text inside it, whatever its name; the text is decoded into an
  unnamed file in the cache folder. Of a truncated or corrupt archive the
  readable lines are shown, the reason goes to standard error and the exit
  status is 2.

Output:
      --print              print the shown lines (the default output)
      --json               print one JSON object per shown line:
                             {"line": N, "text": "...", "matched": true,
                              "spans": [[START, END], ...]}
                           N counts from 1; the spans are the highlighted
                           parts as UTF-16 offsets into the text, [] for a
                           line that does not match
      --count              print only the number of shown lines
  -n, --line-number        put the line number and a colon before each line
                           (a hyphen before a context line)
  -A, --after-context=N    also print N lines after each shown line
  -B, --before-context=N   also print N lines before each shown line
  -C, --context=N          also print N lines before and after each shown
                           line; -A and -B win over it. As grep prints them:
                           "--" between groups that do not touch. Only with
                           the filter mode hide-unmatched; --count ignores
                           them; in JSON a context line has "context": true
      --color=WHEN         mark the matches with colours: auto (when standard
                           output is a terminal; the default), always, never
      --stats              afterwards print timings, counts and peak memory
                           to standard error

Input:
      --encoding NAME      read FILE in this encoding instead of the detected
                           one: UTF-8, UTF-16LE, UTF-16BE (a byte order mark
                           of the chosen kind is skipped; without one the text
                           starts at the first byte), or a code page ICU
                           knows, such as windows-1252, ISO-8859-15 or
                           Shift_JIS, whose line breaks are the bytes CR and
                           LF; auto detects (the default). An unknown name is
                           an error (exit status 2). With --follow, each new
                           file is read in it too

Following:
      --follow             print the shown lines, then keep printing those of
                           the lines appended to FILE as they arrive, until
                           SIGINT or SIGTERM arrives or the output is closed
                           (exit status 0). A line is printed once its line
                           break arrives. Rotation is followed: a FILE renamed
                           away and created anew is read from the new file's
                           start, one that shrinks (copied and truncated) from
                           its start again, and the unfinished last line of
                           the old one is printed then. The encoding is taken
                           from the first line unless --encoding names it.
                           Not with --count, --stats,
                           -A, -B, -C, standard input or a compressed file

Filtering:
      --filter QUERY       the query; without it every line is shown
      --query-mode MODE    how QUERY is read:
                             naive  words and "quoted phrases" that must all
                                    occur; -word for a word that must not
                                    (the default)
                             smart  the same, each word matching at the start
                                    of a word
                             regex  a Perl regular expression
      --match-case         tell upper and lower case apart
      --whole-word         match whole words only
      --filter-mode MODE   which lines are shown:
                             hide-unmatched  the matching lines (the default)
                             hide-matched    the lines that do not match
                             show-all        every line
      --                   end of the options: what follows is a file name

Other:
  -h, --help               print this help and exit
      --version            print the version and exit

Examples:
  linesift server.log
      open server.log in the window
  linesift --print --filter 'error -timeout' server.log
      print the lines that have "error" and not "timeout"
  linesift --count --filter '"connection reset"' server.log
      count the lines that have the phrase "connection reset"
  linesift -n --color=always --query-mode regex --filter '^\d{4}-\d\d' app.log
      print the lines that start with a year and month, numbered, in colour
  linesift --print --filter-mode hide-matched --filter 'debug trace' app.log
      print every line except those that have both "debug" and "trace"
  linesift -n -C 2 --filter 'timeout' server.log
      print the lines with "timeout" and two lines around each, numbered
  linesift --follow -n --filter 'error -debug' /var/log/app.log
      print the lines with "error" and not "debug", then new ones as they come
  linesift --json --match-case --whole-word --filter WARN app.log
      print the lines with the word WARN in capitals, as JSON with spans
  dmesg | linesift --print --query-mode smart --filter usb -
      filter standard input: lines with a word that starts with "usb"
  linesift --count --filter 'error' app.log.3.gz
      count the lines with "error" in the text of a gzip file

Exit status:
  0  at least one line was printed or counted; with --follow, the following
     ended by SIGINT, SIGTERM or a closed output
  1  no line was printed or counted
  2  an error: a bad option, a file that could not be read, a truncated or
     corrupt archive, a regular expression that does not compile, or output
     that could not be written
  The desktop program exits with 0 after a normal close.

Files:
  Settings.xml  the window placement, options, recent files and query
                histories. A portable copy (one that was not installed and
                whose folder the user may write) keeps it beside the program.
                An installed copy keeps it in
                $XDG_CONFIG_HOME/Quellora/Linesift/, or in
                ~/.config/Quellora/Linesift/ when XDG_CONFIG_HOME is unset.

  Text of compressed files is decoded into $XDG_CACHE_HOME/Quellora/Linesift/
  (~/.cache/Quellora/Linesift/ when XDG_CACHE_HOME is unset), in files with
  no name that vanish when the program ends.

Environment:
  LINESIFT_DATA_DIR  the folder of Settings.xml, in place of the above
  XDG_CACHE_HOME     the per-user cache folder, ~/.cache when unset
)";

// Options whose value is the next argument when it is not joined with '='.
constexpr std::array<std::string_view, 10> kOptionsWithValue = {
    "--filter", "--query-mode",    "--filter-mode",    "-A",        "-B",
    "-C",       "--after-context", "--before-context", "--context", "--encoding"};

bool TakesValue(std::string_view arg) {
    for (std::string_view option : kOptionsWithValue) {
        if (arg == option) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string_view HelpText() {
    return kHelp;
}

InfoRequest FindInfoRequest(const std::vector<std::string>& args) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            break;
        }
        if (arg == "-h" || arg == "--help") {
            return InfoRequest::Help;
        }
        if (arg == "--version") {
            return InfoRequest::Version;
        }
        if (TakesValue(arg)) {
            ++i;
        }
    }
    return InfoRequest::None;
}

int AnswerInfoRequest(InfoRequest request, std::FILE* out, std::FILE* err) {
    std::string text;
    if (request == InfoRequest::Help) {
        text = HelpText();
    } else if (request == InfoRequest::Version) {
        text = "Linesift " + ProgramVersionText() + "\n";
    }
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    if (std::fflush(out) != 0 || !written || std::ferror(out)) {
        std::fprintf(err, "linesift: could not write the output\n");
        return 2;
    }
    return 0;
}

}  // namespace linesift
