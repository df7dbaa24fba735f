#include "filter/filtered_lines.h"

#include <algorithm>
#include <bit>

#include "document/text_document.h"
#include "document/text_file_stream.h"

namespace linesift {

void FilteredLines::Reset(size_t lineCount) {
    matched_.Reset(lineCount);
    shown_.ShowAll(lineCount);
    selected_.Reset(lineCount);
}

void FilteredLines::Apply(FilterResult result) {
    if (result.matched.size() != LineCount() || result.shown.LineCount() != LineCount()) {
        return;
    }
    matched_ = std::move(result.matched);
    shown_ = std::move(result.shown);
}

void FilteredLines::Append(size_t from, const LineBits& tail, FilterMode mode) {
    const size_t count = from + tail.size();
    if (from > LineCount() || count < LineCount()) {
        return;
    }
    selected_.Resize(count);
    matched_.Resize(from);
    matched_.Resize(count);
    LineBits shown;
    shown.Reset(tail.size());
    for (size_t i = 0; i < tail.size(); ++i) {
        bool matched = tail.Test(i);
        if (matched) {
            matched_.Set(from + i);
        }
        if (mode == FilterMode::ShowAll || matched == (mode == FilterMode::HideUnmatched)) {
            shown.Set(i);
        }
    }
    shown_.ReplaceTail(from, shown, mode == FilterMode::ShowAll);
}

void FilteredLines::SetSelected(size_t line, bool selected) {
    if (line >= LineCount()) {
        return;
    }
    if (selected) {
        selected_.Set(line);
    } else {
        selected_.Clear(line);
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

bool FilteredLines::SelectRows(size_t a, size_t b) {
    if (a >= ShownCount() || b >= ShownCount()) {
        return false;
    }
    const size_t lo = LineAtRow(std::min(a, b));
    const size_t hi = LineAtRow(std::max(a, b));
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

size_t FilteredLines::SelectedShownCount() const {
    const std::vector<uint64_t>& words = selected_.Words();
    size_t count = 0;
    for (size_t w = 0; w < words.size(); ++w) {
        count += static_cast<size_t>(std::popcount(words[w] & shown_.Word(w)));
    }
    return count;
}

ReadStatus CollectSelectedText(const TextDocument& document, const FilteredLines& lines,
                               std::u16string& text, size_t& count) {
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
                count += read.size();
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

bool ExportShownLines(const TextDocument& document, const FilteredLines& lines, bool selectedOnly,
                      const std::string& path, std::string& error) {
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
                    written = stream.WriteLine(run.Line(k), true);
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
        if (read != ReadStatus::Ok) {
            error = ReadStatusText(read);
        }
        return false;
    }
    return true;
}

}  // namespace linesift
