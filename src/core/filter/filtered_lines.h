#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "filter/filter_pass.h"

namespace linesift {

class TextDocument;
enum class ReadStatus;

// What a list shows of a document: the lines the last filter pass showed and
// matched, and the lines the user selected. A row is a place among the shown
// lines. The selection belongs to the document's lines, so it survives
// filtering: a hidden line keeps its mark. Plain data: one thread at a time;
// a pass can build a FilterResult elsewhere and hand it over with Apply.
class FilteredLines {
  public:
    // A document of lineCount lines: every line shown, none matched or selected.
    void Reset(size_t lineCount);
    // Takes what a filter pass over the same document produced; the
    // selection stays. Ignored when the line counts differ.
    void Apply(FilterResult result);
    // The document grew (a followed file): lines from `from` on (at most
    // LineCount()) are tail.size() lines now, at least as many as before,
    // with the verdicts in tail (bit i for line from + i), shown as mode
    // says. Earlier lines and the selection of the lines that stay are kept;
    // new lines are not selected. Costs what the new lines cost.
    void Append(size_t from, const LineBits& tail, FilterMode mode);

    size_t LineCount() const { return shown_.LineCount(); }
    const ShownLines& Shown() const { return shown_; }
    size_t ShownCount() const { return shown_.size(); }
    // Some lines may be hidden: the last pass applied a filter that hides.
    bool IsFiltered() const { return !shown_.ShowsAll(); }
    size_t LineAtRow(size_t row) const { return shown_.LineAt(row); }
    // The row of line, or -1 when it is hidden.
    int64_t RowOfLine(size_t line) const { return shown_.RowOf(line); }
    bool IsMatched(size_t line) const { return line < matched_.size() && matched_.Test(line); }

    bool IsSelected(size_t line) const { return line < LineCount() && selected_.Test(line); }
    void SetSelected(size_t line, bool selected);
    // Selects the lines of the rows from a to b (either order, both included)
    // and deselects the other shown lines; hidden lines keep their marks.
    // Returns whether anything changed; nothing does when a row is not shown.
    bool SelectRows(size_t a, size_t b);
    // Select, toggle or deselect every shown line; whether anything changed.
    bool SelectAllShown();
    bool InvertShown();
    bool DeselectShown();
    // The selected lines among the shown ones.
    size_t SelectedShownCount() const;
    // Calls fn(begin, end) for each run of consecutive selected shown lines,
    // in document order.
    template <typename Fn>
    void ForEachSelectedShownRun(const Fn& fn) const {
        ForEachRun(
            shown_.WordCount(), [this](size_t w) { return selected_.Words()[w] & shown_.Word(w); },
            fn);
    }
    // The same for runs of shown lines.
    template <typename Fn>
    void ForEachShownRun(const Fn& fn) const {
        ForEachRun(
            shown_.WordCount(), [this](size_t w) { return shown_.Word(w); }, fn);
    }

  private:
    // Applies change(selectedWord, shownWord) to every word of the selection.
    template <typename Change>
    bool ChangeShown(const Change& change);

    LineBits matched_;
    ShownLines shown_;
    LineBits selected_;
};

// Collects the text of the selected shown lines, each once, in order: a line
// feed goes before a line whenever text was collected already, so selected
// empty lines at the start add nothing. count receives how many lines.
ReadStatus CollectSelectedText(const TextDocument& document, const FilteredLines& lines,
                               std::u16string& text, size_t& count);

// Writes the shown lines (or only the selected ones among them), each
// followed by CR LF, to a new text file at path in the locale's encoding; an
// existing file is replaced only when the new one is complete. False, with
// error saying why, on failure.
bool ExportShownLines(const TextDocument& document, const FilteredLines& lines, bool selectedOnly,
                      const std::string& path, std::string& error);

}  // namespace linesift
