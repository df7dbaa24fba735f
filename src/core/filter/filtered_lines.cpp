#include "filter/filtered_lines.h"

#include <algorithm>
#include <bit>

#include "document/text_document.h"
#include "document/text_file_stream.h"

namespace linesift {

void FilteredLines::Reset(LineNo lineCount) {
    const auto count = static_cast<size_t>(std::max<LineNo>(lineCount, 0));
    matched_.Reset(count);
    shown_.ShowAll(count);
    selected_.Reset(count);
    has_context_ = false;
    chunks_end_ = -1;
}

void FilteredLines::Apply(FilterResult result) {
    if (result.matched.size() != shown_.LineCount() ||
        result.shown.LineCount() != shown_.LineCount()) {
        return;
    }
    matched_ = std::move(result.matched);
    shown_ = std::move(result.shown);
    has_context_ = result.has_context;
    chunks_end_ = -1;
}

LineNo FilteredLines::Append(LineNo from, const LineBits& tail, FilterMode mode, size_t before,
                             size_t after) {
    const LineNo count = from + static_cast<LineNo>(tail.size());
    if (from < 0 || from > LineCount() || count < LineCount()) {
        return LineCount();
    }
    if (chunks_end_ >= from) {
        chunks_end_ = -1;  // a stopped pass had decided the lines before these
    }
    // With context, the lines up to `before` ahead of the changed ones may
    // come into view or go; they are decided again from the verdicts of the
    // lines up to `after` ahead of them.
    const bool context = mode == FilterMode::HideUnmatched && (before > 0 || after > 0);
    const auto first = static_cast<size_t>(from);
    const size_t start = context ? first - std::min(first, before) : first;
    const size_t lo = context ? start - std::min(start, after) : start;
    selected_.Resize(static_cast<size_t>(count));
    matched_.Resize(first);
    matched_.Resize(static_cast<size_t>(count));
    for (size_t i = 0; i < tail.size(); ++i) {
        if (tail.Test(i)) {
            matched_.Set(first + i);
        }
    }
    LineBits window;
    window.Reset(static_cast<size_t>(count) - lo);
    const bool wantMatched = mode == FilterMode::HideUnmatched;
    for (size_t i = 0; i < window.size(); ++i) {
        if (mode == FilterMode::ShowAll || matched_.Test(lo + i) == wantMatched) {
            window.Set(i);
        }
    }
    LineBits shown;
    if (context) {
        window.Widen(before, after);
        shown.Reset(window.size() - (start - lo));
        for (size_t i = 0; i < shown.size(); ++i) {
            if (window.Test(start - lo + i)) {
                shown.Set(i);
            }
        }
        has_context_ = true;
    } else {
        shown = std::move(window);
    }
    shown_.ReplaceTail(start, shown, mode == FilterMode::ShowAll);
    return static_cast<LineNo>(start);
}

void FilteredLines::BeginChunks(FilterMode mode, size_t before, size_t after) {
    const size_t count = shown_.LineCount();
    matched_.Reset(count);
    chunks_mode_ = mode;
    const bool context = mode == FilterMode::HideUnmatched && (before > 0 || after > 0);
    chunks_before_ = context ? before : 0;
    chunks_after_ = context ? after : 0;
    chunks_end_ = 0;
    has_context_ = context;
    if (mode == FilterMode::ShowAll) {
        shown_.ShowAll(count);
    } else {
        LineBits none;
        none.Reset(count);
        shown_.ShowSet(std::move(none));
    }
}

bool FilteredLines::ApplyChunk(LineNo begin, LineNo end, const std::vector<uint64_t>& words) {
    if (chunks_end_ < 0 || begin != chunks_end_ || end < begin || end > LineCount() ||
        begin % 64 != 0 || words.size() * 64 < static_cast<size_t>(end - begin)) {
        return false;
    }
    std::vector<uint64_t>& matched = matched_.Words();
    const auto first = static_cast<size_t>(begin) / 64;
    const size_t count = (static_cast<size_t>(end - begin) + 63) / 64;
    std::copy_n(words.begin(), count, matched.begin() + static_cast<ptrdiff_t>(first));
    if (end % 64 != 0) {
        matched[first + count - 1] &= (uint64_t{1} << (end % 64)) - 1;
    }
    chunks_end_ = end;
    if (chunks_mode_ == FilterMode::ShowAll) {
        return true;
    }
    if (has_context_) {
        ShowChunkContext(static_cast<size_t>(begin), static_cast<size_t>(end));
        return true;
    }
    // The shown set is rebuilt from the verdicts so far: a pass over words,
    // a small part of the chunk's own work.
    LineBits shown;
    shown.Reset(shown_.LineCount());
    std::vector<uint64_t>& bits = shown.Words();
    const size_t decided = (static_cast<size_t>(end) + 63) / 64;
    const bool wantMatched = chunks_mode_ == FilterMode::HideUnmatched;
    for (size_t w = 0; w < decided; ++w) {
        bits[w] = wantMatched ? matched[w] : ~matched[w];
    }
    if (end % 64 != 0) {
        bits[decided - 1] &= (uint64_t{1} << (end % 64)) - 1;
    }
    shown_.ShowSet(std::move(shown));
    return true;
}

void FilteredLines::ShowChunkContext(size_t begin, size_t end) {
    // Lines from begin - before on may gain context from this chunk's
    // matches; their own verdicts reach back `after` lines more. Undecided
    // lines are not matched yet, so they bring no context.
    const size_t count = shown_.LineCount();
    const size_t reach = chunks_before_ + chunks_after_;
    const size_t lo = (begin - std::min(begin, reach)) / 64 * 64;
    const size_t hi = std::min(count, end + chunks_after_);
    if (hi <= lo) {
        return;
    }
    LineBits window;
    window.Reset(hi - lo);
    const std::vector<uint64_t>& matched = matched_.Words();
    std::copy_n(matched.begin() + static_cast<ptrdiff_t>(lo / 64), window.Words().size(),
                window.Words().begin());
    window.Words().back() &= window.LastWordMask();
    window.Widen(chunks_before_, chunks_after_);
    LineBits shown;
    shown.Reset(count);
    std::vector<uint64_t>& bits = shown.Words();
    for (size_t w = 0; w < bits.size(); ++w) {
        bits[w] = shown_.Word(w);
    }
    // The shown lines only grow: those before lo keep their words.
    const std::vector<uint64_t>& widened = window.Words();
    for (size_t w = 0; w < widened.size(); ++w) {
        bits[lo / 64 + w] |= widened[w];
    }
    shown_.ShowSet(std::move(shown));
}

void FilteredLines::SetSelected(LineNo line, bool selected) {
    if (line < 0 || line >= LineCount()) {
        return;
    }
    if (selected) {
        selected_.Set(static_cast<size_t>(line));
    } else {
        selected_.Clear(static_cast<size_t>(line));
    }
}

template <typename Change>
bool FilteredLines::ChangeShown(const Change& change) {
    std::vector<uint64_t>& words = selected_.Words();
    uint64_t changed = 0;
    for (size_t w = 0; w < words.size(); ++w) {
        uint64_t before = words[w];
        words[w] = change(before, shown_.Word(w), w);
        changed |= before ^ words[w];
    }
    return changed != 0;
}

bool FilteredLines::SelectShown(ShownNo a, ShownNo b) {
    if (a < 0 || b < 0 || a >= ShownCount() || b >= ShownCount()) {
        return false;
    }
    const auto lo = static_cast<size_t>(LineAt(std::min(a, b)));
    const auto hi = static_cast<size_t>(LineAt(std::max(a, b)));
    // The bits of lines [lo, hi] within word w.
    auto range = [lo, hi](size_t w) {
        size_t first = w * 64;
        if (hi < first || lo >= first + 64) {
            return uint64_t{0};
        }
        uint64_t from = lo <= first ? ~uint64_t{0} : ~uint64_t{0} << (lo - first);
        uint64_t to = hi >= first + 63 ? ~uint64_t{0} : (uint64_t{2} << (hi - first)) - 1;
        return from & to;
    };
    return ChangeShown([&range](uint64_t selected, uint64_t shown, size_t w) {
        return (selected & ~shown) | (shown & range(w));
    });
}

bool FilteredLines::SelectAllShown() {
    return ChangeShown([](uint64_t selected, uint64_t shown, size_t) { return selected | shown; });
}

bool FilteredLines::InvertShown() {
    return ChangeShown([](uint64_t selected, uint64_t shown, size_t) { return selected ^ shown; });
}

bool FilteredLines::DeselectShown() {
    return ChangeShown([](uint64_t selected, uint64_t shown, size_t) { return selected & ~shown; });
}

ShownNo FilteredLines::SelectedShownCount() const {
    const std::vector<uint64_t>& words = selected_.Words();
    ShownNo count = 0;
    for (size_t w = 0; w < words.size(); ++w) {
        count += std::popcount(words[w] & shown_.Word(w));
    }
    return count;
}

LineBits FilteredLines::SelectedShownBits() const {
    LineBits bits = selected_;
    std::vector<uint64_t>& words = bits.Words();
    for (size_t w = 0; w < words.size(); ++w) {
        words[w] &= shown_.Word(w);
    }
    return bits;
}

ReadStatus CollectSelectedText(const TextDocument& document, const FilteredLines& lines,
                               std::u16string& text, LineNo& count) {
    text.clear();
    count = 0;
    LineBatch batch;
    ReadStatus status = ReadStatus::Ok;
    try {
        lines.ForEachSelectedShownRun([&](size_t begin, size_t end) {
            if (status != ReadStatus::Ok) {
                return;
            }
            status = document.ReadLines(begin, end, batch, [&](const LineBatch& read) {
                for (size_t k = 0; k < read.size(); ++k) {
                    if (!text.empty()) {
                        text.push_back(u'\n');
                    }
                    text.append(read.Line(k));
                }
                count += static_cast<LineNo>(read.size());
                return true;
            });
        });
    } catch (const std::bad_alloc&) {
        status = ReadStatus::OutOfMemory;
    }
    if (status != ReadStatus::Ok) {
        text.clear();
        count = 0;
    }
    return status;
}

namespace {

bool IsRaised(const std::atomic<bool>* flag) {
    return flag != nullptr && flag->load(std::memory_order_relaxed);
}

}  // namespace

bool ExportShownLines(const TextDocument& document, const FilteredLines& lines, bool selectedOnly,
                      const std::string& path, std::string& error,
                      const std::atomic<bool>* cancel) {
    ReadStatus read = ReadStatus::Ok;
    auto writeLines = [&](TextFileStream& stream) {
        LineBatch batch;
        bool written = true;
        auto writeRun = [&](size_t begin, size_t end) {
            if (!written || read != ReadStatus::Ok) {
                return;
            }
            read = document.ReadLines(begin, end, batch, [&](const LineBatch& run) {
                for (size_t k = 0; k < run.size() && written; ++k) {
                    written = !IsRaised(cancel) && stream.WriteLine(run.Line(k), true);
                }
                return written;
            });
        };
        if (selectedOnly) {
            lines.ForEachSelectedShownRun(writeRun);
        } else {
            lines.ForEachShownRun(writeRun);
        }
        return written && read == ReadStatus::Ok;
    };
    if (!WriteTextFileReplacing(path, writeLines, error)) {
        if (IsRaised(cancel)) {
            error = "cancelled";
        } else if (read != ReadStatus::Ok) {
            error = ReadStatusText(read);
        }
        return false;
    }
    return true;
}

}  // namespace linesift
