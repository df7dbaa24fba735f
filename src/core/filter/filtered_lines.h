#pragma once

#include <atomic>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "filter/filter_pass.h"

namespace linesift {

class TextDocument;
enum class ReadStatus;

// What a list shows of a document: the lines the last filter pass showed and
// matched, and the lines the user selected. The selection belongs to the
// document's lines, so it survives filtering: a hidden line keeps its mark.
// Plain data: one thread at a time; a pass can build a FilterResult elsewhere
// and hand it over with Apply, or in chunks with BeginChunks and ApplyChunk.
class FilteredLines {
  public:
    // A document of lineCount lines: every line shown, none matched or selected.
    void Reset(LineNo lineCount);
    // Takes what a filter pass over the same document produced; the
    // selection stays. Ignored when the line counts differ.
    void Apply(FilterResult result);
    // A pass in mode starts handing over its verdicts in chunks: no line is
    // matched, and no line is shown yet unless mode shows every line. When
    // mode hides unmatched lines, before and after lines of context go
    // around each match, as Apply would show them.
    void BeginChunks(FilterMode mode, size_t before = 0, size_t after = 0);
    // The verdicts of lines [begin, end), from the bits of words (bit 0 of
    // words[0] is line begin): they become matched, and shown as the mode
    // says, with the context lines of matches so far (up to `after` lines
    // past end; the lines before a later match join with its chunk). The
    // shown lines only grow, so the last chunk shows what Apply of the whole
    // result shows. Chunks follow each other from line 0 on, begin a
    // multiple of 64. False, with nothing changed, for a chunk that does not
    // follow on.
    bool ApplyChunk(LineNo begin, LineNo end, const std::vector<uint64_t>& words);
    // How far the chunks have come while they are handed over, -1 otherwise
    // (after Reset or Apply).
    LineNo ChunksEnd() const { return chunks_end_; }
    // The document grew (a followed file): lines from `from` on (at most
    // LineCount()) are tail.size() lines now, at least as many as before,
    // with the verdicts in tail (bit i for line from + i), shown as mode
    // says, with before and after lines of context around matches when mode
    // hides unmatched lines. Earlier lines and the selection of the lines
    // that stay are kept; new lines are not selected. A pass stopped after
    // deciding the lines before `from` counts as complete (ChunksEnd() is
    // -1). Returns the first line that may have changed: `from`, or up to
    // `before` lines earlier with context. Costs what the new lines cost.
    LineNo Append(LineNo from, const LineBits& tail, FilterMode mode, size_t before = 0,
                  size_t after = 0);

    LineNo LineCount() const { return static_cast<LineNo>(shown_.LineCount()); }
    const ShownLines& Shown() const { return shown_; }
    ShownNo ShownCount() const { return static_cast<ShownNo>(shown_.size()); }
    // Some lines may be hidden: the last pass applied a filter that hides.
    bool IsFiltered() const { return !shown_.ShowsAll(); }
    // The line at place shown among the shown lines (below ShownCount()).
    LineNo LineAt(ShownNo shown) const { return shown_.LineAt(shown); }
    // The place of line among the shown lines, or -1 when it is hidden.
    ShownNo ShownOf(LineNo line) const { return shown_.ShownOf(line); }
    bool IsMatched(LineNo line) const {
        return line >= 0 && line < static_cast<LineNo>(matched_.size()) &&
               matched_.Test(static_cast<size_t>(line));
    }
    const LineBits& Matched() const { return matched_; }
    // The shown lines include context lines around the matching ones.
    bool HasContext() const { return has_context_; }
    // A line shown only as context around a matching one: drawn dimmer.
    bool IsContext(LineNo line) const {
        return has_context_ && line >= 0 && line < LineCount() &&
               shown_.Contains(static_cast<size_t>(line)) &&
               !matched_.Test(static_cast<size_t>(line));
    }

    bool IsSelected(LineNo line) const {
        return line >= 0 && line < LineCount() && selected_.Test(static_cast<size_t>(line));
    }
    void SetSelected(LineNo line, bool selected);
    // Selects the shown lines from place a to place b (either order, both
    // included) and deselects the other shown lines; hidden lines keep their
    // marks. Returns whether anything changed; nothing does when a place is
    // not shown.
    bool SelectShown(ShownNo a, ShownNo b);
    // Select, toggle or deselect every shown line; whether anything changed.
    bool SelectAllShown();
    bool InvertShown();
    bool DeselectShown();
    // The selected lines among the shown ones.
    ShownNo SelectedShownCount() const;
    // The selected shown lines, one bit per document line.
    LineBits SelectedShownBits() const;
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
    // ApplyChunk's shown lines with context: those before the chunk stay,
    // those its matches bring around them join.
    void ShowChunkContext(size_t begin, size_t end);
    // Applies change(selectedWord, shownWord) to every word of the selection.
    template <typename Change>
    bool ChangeShown(const Change& change);

    LineBits matched_;
    ShownLines shown_;
    bool has_context_ = false;
    LineBits selected_;
    // While chunks come: the mode of their pass, and the lines they cover.
    FilterMode chunks_mode_ = FilterMode::ShowAll;
    size_t chunks_before_ = 0;
    size_t chunks_after_ = 0;
    LineNo chunks_end_ = -1;
};

// Collects the text of the selected shown lines, each once, in order: a line
// feed goes before a line whenever text was collected already, so selected
// empty lines at the start add nothing. count receives how many lines.
ReadStatus CollectSelectedText(const TextDocument& document, const FilteredLines& lines,
                               std::u16string& text, LineNo& count);

// Writes the shown lines (or only the selected ones among them), each
// followed by CR LF, to a new text file at path in the locale's encoding; an
// existing file is replaced only when the new one is complete. False, with
// error saying why, on failure. Raising cancel (from another thread) stops
// the writing: false, and the file at path stays as it was.
bool ExportShownLines(const TextDocument& document, const FilteredLines& lines, bool selectedOnly,
                      const std::string& path, std::string& error,
                      const std::atomic<bool>* cancel = nullptr);

}  // namespace linesift
