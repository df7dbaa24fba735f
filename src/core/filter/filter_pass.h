#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "filter/compiled_query.h"

namespace linesift {

class LineStore;

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
    // Sets the bits of [begin, end).
    void SetRange(size_t begin, size_t end);
    size_t Count() const;
    const std::vector<uint64_t>& Words() const { return words_; }

  private:
    std::vector<uint64_t> words_;
    size_t size_ = 0;
};

// What a filter pass found: each line's matched flag (only matching lines
// are highlighted) and the lines shown, in document order.
struct FilterResult {
    LineBits matched;
    std::vector<size_t> shown_lines;
    // The expression engine gave up on so many lines (a regular expression
    // that backtracks catastrophically) that the pass stopped: no line matched.
    bool gave_up = false;
    // The lines whose verdict is not known: those the engine gave up on, or
    // every line when the pass stopped (gave_up). A pass with any is
    // incomplete, and its user must be told.
    size_t undecided_lines = 0;
};

// The filter pass: evaluates the request's query once per line, in document
// order, and shows the lines its filter mode keeps. With an empty text every
// line is shown and none is evaluated or matched. A line the engine gives up
// on does not match and is undecided; once it has given up on 100 lines, the
// pass stops and no line matches (gave_up), so its time stays bounded. Returns false, leaving
// result untouched, when a non-empty request fails ValidateFilterRequest; and
// false with an empty result when memory ran out. Large documents are split
// across the processor's cores, joined before it returns.
bool RunFilterPass(const FilterRequest& request, const LineStore& lines, FilterResult& result);

// How a filter pass ended.
enum class FilterStatus {
    Done,
    Invalid,      // the request failed ValidateFilterRequest; the result is untouched
    OutOfMemory,  // the result is empty
    Cancelled,    // the cancel flag was raised; the result is untouched
};

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
FilterStatus RunFilterPass(const FilterRequest& request, const LineStore& lines,
                           FilterResult& result, const FilterPassOptions& options);

// Appends the lines of [begin, end) that mode shows, given the matched bits,
// in document order.
void AppendShownLines(FilterMode mode, const LineBits& matched, size_t begin, size_t end,
                      std::vector<size_t>& out);

// Documents of at least this many lines are filtered on several threads; 0
// restores the default. For tests, which check that both ways agree.
void SetParallelFilterThresholdForTesting(size_t lines);

}  // namespace linesift
