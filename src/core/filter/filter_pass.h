#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "document/line_numbers.h"
#include "filter/compiled_query.h"

namespace linesift {

class TextDocument;

// Which lines a filter shows. Values outside the enumerators may arrive from
// settings; a request holding one is not applied.
enum class FilterMode : int32_t {
    HideUnmatched = 0,  // the lines that match
    HideMatched = 1,    // the lines that do not match
    ShowAll = 2,        // every line; the matching ones are highlighted
};

// A query as typed with its switches and the filter mode.
struct FilterRequest {
    std::u16string text;
    bool match_case = false;
    bool whole_word = false;
    QueryMode query_mode = QueryMode::Naive;
    FilterMode filter_mode = FilterMode::HideUnmatched;
    // Lines shown before and after each matching line, as context, when the
    // filter mode is HideUnmatched; ignored in the other modes.
    size_t context_before = 0;
    size_t context_after = 0;
};

// Whether a request may be applied: its text is not empty, both modes are in
// range, and a regular expression compiles as typed (case-sensitively).
bool ValidateFilterRequest(const FilterRequest& request);

// One bit per line of a document.
class LineBits {
  public:
    // count lines, none set.
    void Reset(size_t count);
    size_t size() const { return size_; }
    bool Test(size_t i) const { return (words_[i >> 6] >> (i & 63)) & 1; }
    void Set(size_t i) { words_[i >> 6] |= uint64_t{1} << (i & 63); }
    void Clear(size_t i) { words_[i >> 6] &= ~(uint64_t{1} << (i & 63)); }
    // Sets the bits of [begin, end).
    void SetRange(size_t begin, size_t end);
    // count lines: the bits of the first ones stay, those of new lines are clear.
    void Resize(size_t count);
    // Also sets, for each set bit i, the bits of [i - before, i + after]
    // that lie inside; a few passes over the words whatever the counts.
    void Widen(size_t before, size_t after);
    // The first set bit at or after from, or size() when none.
    size_t NextSet(size_t from) const;
    // The last set bit before end, or size() when none.
    size_t PreviousSet(size_t end) const;
    size_t Count() const;
    const std::vector<uint64_t>& Words() const { return words_; }
    std::vector<uint64_t>& Words() { return words_; }
    // The bits of the last word that stand for lines (all of them when size()
    // is a multiple of 64).
    uint64_t LastWordMask() const {
        return size_ % 64 == 0 ? ~uint64_t{0} : (uint64_t{1} << (size_ % 64)) - 1;
    }

  private:
    std::vector<uint64_t> words_;
    size_t size_ = 0;
};

// The lines a filter shows, in document order: every line, or the lines
// whose bit is set. Finding the line at a ShownNo, or the ShownNo of a line,
// takes a directory lookup and a few words.
class ShownLines {
  public:
    // Every one of count lines is shown.
    void ShowAll(size_t count);
    // The lines whose bits are set are shown. Throws std::bad_alloc.
    void ShowSet(LineBits bits);
    // Lines from `from` on become tail.size() lines (more than before, or as
    // many), shown where tail's bits are set, bit i standing for line from + i;
    // all shown when every line was and allShown is set. The cost is that of
    // the new lines. Throws std::bad_alloc.
    void ReplaceTail(size_t from, const LineBits& tail, bool allShown);

    bool ShowsAll() const { return all_; }
    // The lines of the document, shown or not.
    size_t LineCount() const { return count_; }
    // The shown lines.
    size_t size() const { return shown_; }
    bool empty() const { return shown_ == 0; }
    bool Contains(LineNo line) const {
        return line >= 0 && static_cast<size_t>(line) < count_ &&
               (all_ || bits_.Test(static_cast<size_t>(line)));
    }
    // The line shown at place shown (below size()).
    LineNo LineAt(ShownNo shown) const;
    // The place of line among the shown ones, or -1 when it is hidden or
    // beyond the document.
    ShownNo ShownOf(LineNo line) const;
    // Word w of the shown set: bit i stands for line 64 w + i.
    uint64_t Word(size_t w) const {
        if (!all_) {
            return bits_.Words()[w];
        }
        return w + 1 == (count_ + 63) / 64 && count_ % 64 != 0 ? (uint64_t{1} << (count_ % 64)) - 1
                                                               : ~uint64_t{0};
    }
    size_t WordCount() const { return (count_ + 63) / 64; }
    // The shown lines in order, for tests and small documents.
    std::vector<size_t> ToVector() const;

  private:
    static constexpr size_t kWordsPerEntry = 8;
    bool all_ = true;
    size_t count_ = 0;
    size_t shown_ = 0;
    LineBits bits_;
    // Shown lines before each group of kWordsPerEntry words, while !all_.
    std::vector<uint64_t> directory_;
};

// Calls fn(begin, end) for each run [begin, end) of consecutive lines whose
// bits are set in the words that word(w) gives for w below words, in order.
template <typename WordOf, typename Fn>
void ForEachRun(size_t words, const WordOf& word, const Fn& fn) {
    size_t runBegin = 0;
    bool inRun = false;
    for (size_t w = 0; w < words; ++w) {
        uint64_t bits = word(w);
        if (bits == (inRun ? ~uint64_t{0} : 0)) {
            continue;
        }
        for (size_t i = 0; i < 64; ++i) {
            bool set = (bits >> i) & 1;
            if (set != inRun) {
                if (set) {
                    runBegin = w * 64 + i;
                } else {
                    fn(runBegin, w * 64 + i);
                }
                inRun = set;
            }
        }
    }
    if (inRun) {
        fn(runBegin, words * 64);
    }
}

// What a filter pass found: each line's matched flag (only matching lines
// are highlighted) and the lines shown.
struct FilterResult {
    LineBits matched;
    ShownLines shown;
    // The expression engine gave up on so many lines (a regular expression
    // that backtracks catastrophically) that the pass stopped: no line matched.
    bool gave_up = false;
    // The lines whose verdict is not known: those the engine gave up on, or
    // every line when the pass stopped (gave_up). A pass with any is
    // incomplete, and its user must be told.
    size_t undecided_lines = 0;
    // Some shown lines did not match: they are shown as context around the
    // matching ones (FilterRequest::context_before and context_after).
    bool has_context = false;
};

// How a filter pass ended.
enum class FilterStatus {
    Done,
    Invalid,      // the request failed ValidateFilterRequest; the result is untouched
    OutOfMemory,  // the result is empty
    FileChanged,  // the document's file changed under it (see TextDocument); the result is empty
    Cancelled,    // the cancel flag was raised; the result is untouched
};

// The filter pass: evaluates the request's query once per line, in document
// order, and shows the lines its filter mode keeps. With an empty text every
// line is shown and none is evaluated or matched. A line the engine gives up
// on does not match and is undecided; once it has given up on 100 lines, the
// pass stops and no line matches (gave_up), so its time stays bounded. Large
// documents are split across the processor's cores, joined before it returns.
// It only reads the document, so it may run on any thread while others read
// it too.
FilterStatus RunFilterPass(const FilterRequest& request, const TextDocument& document,
                           FilterResult& result);

// A stretch of a running pass whose lines are decided: the bits of
// [begin, end) in matched are the pass's verdicts, unless the pass later
// stops because the engine gave up too often (then its result matches no line).
struct FilterChunk {
    size_t begin;  // a multiple of 64; the chunks follow each other in document order
    size_t end;
    size_t total;  // the lines of the document
    const LineBits& matched;
};

// How a pass runs in steps: between two chunks it reads the cancel flag and
// reports the chunk it finished.
struct FilterPassOptions {
    // Raised by another thread to stop the pass; null for a pass that runs to its end.
    const std::atomic<bool>* cancel = nullptr;
    // Called on the pass's thread after each chunk; null for none.
    std::function<void(const FilterChunk&)> on_chunk;
    // The lines of the first chunk, small so that the first rows come early;
    // later chunks grow or shrink toward chunk_ms milliseconds of work each.
    size_t first_chunk_lines = size_t{1} << 15;
    int chunk_ms = 20;
};

// RunFilterPass in chunks that can be watched and cancelled. Joining the
// chunks' bits gives the same result as one pass. On Cancelled, result is
// untouched: a cancelled pass leaves nothing that looks final.
FilterStatus RunFilterPass(const FilterRequest& request, const TextDocument& document,
                           FilterResult& result, const FilterPassOptions& options);

// Sets result.shown (and has_context) from result.matched as request's
// filter mode and context ask: every line for an empty text. Throws
// std::bad_alloc.
void CollectShownLines(const FilterRequest& request, FilterResult& result);

// Appends the lines of [begin, end) that mode shows, given the matched bits,
// in document order.
void AppendShownLines(FilterMode mode, const LineBits& matched, size_t begin, size_t end,
                      std::vector<size_t>& out);

// Documents of at least this many lines are filtered on several threads; 0
// restores the default. For tests, which check that both ways agree.
void SetParallelFilterThresholdForTesting(size_t lines);

// Whether passes over documents with ASCII-compatible bytes search the bytes
// for the query's literal before decoding lines (the default) or decode every
// line. For tests, which check that both ways agree.
void SetByteScanForTesting(bool enabled);

}  // namespace linesift
