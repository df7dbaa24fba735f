// Following a document's file as another program appends to it.

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "document/line_scan.h"
#include "document/text_document.h"
#include "document/text_document_parts.h"
#include "document/text_file_stream.h"
#include "platform/code_page.h"
#include "platform/mapped_read_guard.h"

namespace linesift {
namespace {

// The first and last bytes compared at each look: a rewrite that keeps (or
// exceeds) the size almost always changes one of them.
constexpr size_t kEndBytes = 1024;
// The encoding is detected from at most this many first bytes; while the file
// was smaller, appended bytes may change the verdict.
constexpr uint64_t kDetectBytes = 65536;

// Reads up to n bytes at offset; fewer when the file ends earlier.
std::vector<uint8_t> ReadAt(int fd, uint64_t offset, size_t n) {
    std::vector<uint8_t> bytes(n);
    size_t got = 0;
    while (got < n) {
        ssize_t r = ::pread(fd, bytes.data() + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            break;
        }
        got += static_cast<size_t>(r);
    }
    bytes.resize(got);
    return bytes;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

void TextDocument::RememberFileEnds() {
    follow_.reset();
    if (mapping_ == nullptr) {
        return;  // not a file that can grow in place
    }
    auto state = std::make_unique<FollowState>();
    state->head =
        ReadAt(mapping_->fd, 0, static_cast<size_t>(std::min<uint64_t>(size_, kEndBytes)));
    uint64_t tail = std::min<uint64_t>(size_, kEndBytes);
    state->tail = ReadAt(mapping_->fd, size_ - tail, static_cast<size_t>(tail));
    follow_ = std::move(state);
}

bool TextDocument::SameFileEnds(int fd) const {
    const std::vector<uint8_t>& head = follow_->head;
    const std::vector<uint8_t>& tail = follow_->tail;
    return ReadAt(fd, 0, head.size()) == head &&
           ReadAt(fd, size_ - tail.size(), tail.size()) == tail;
}

FileUpdate TextDocument::ReadAppended() {
    FileUpdate update{.change = FileChange::None, .first_changed = LineCount()};
    if (follow_ == nullptr || mapping_ == nullptr || imported_) {
        return update;
    }
    struct stat own = {};
    struct stat atPath = {};
    if (::stat(ToNativePath(path_).c_str(), &atPath) == 0 &&
        (::fstat(mapping_->fd, &own) != 0 || !SameFile(own, atPath))) {
        update.change = FileChange::Replaced;
        return update;
    }
    // A path that is gone (renamed away, not yet created anew) leaves the old
    // file followed, as its writer may still append to it.
    if (::fstat(mapping_->fd, &own) != 0) {
        update.change = FileChange::Failed;
        return update;
    }
    const uint64_t size = static_cast<uint64_t>(own.st_size);
    if (FileChanged() || size < size_ || !SameFileEnds(mapping_->fd)) {
        NoteChanged();
        update.change = FileChange::Truncated;
        return update;
    }
    if (size == size_) {
        return update;
    }
    if (!IndexAppended(size, update)) {
        // The file shrank during the read: the indexed part is no longer sound.
        NoteChanged();
        update = {.change = FileChange::Truncated, .first_changed = LineCount()};
        return update;
    }
    if (update.change == FileChange::Failed) {
        return update;
    }
    RememberFileEnds();
    FileTimeStamp time;
    if (GetLastWriteTime(ToNativePath(path_), time)) {
        last_write_time_ = time;
    }
    return update;
}

bool TextDocument::IndexAppended(uint64_t size, FileUpdate& update) {
    // The new bytes are mapped where the old ones were, or the mapping moves.
    void* base = mapping_->base == nullptr
                     ? ::mmap(nullptr, size, PROT_READ, MAP_SHARED, mapping_->fd, 0)
                     : ::mremap(mapping_->base, mapping_->length, size, MREMAP_MAYMOVE);
    if (base == MAP_FAILED) {
        last_error_ = std::strerror(errno);
        update.change = FileChange::Failed;
        return true;
    }
    mapping_->base = base;
    mapping_->length = size;
    const uint64_t oldSize = size_;
    data_ = static_cast<const uint8_t*>(base);
    size_ = size;
    update.change = FileChange::Appended;

    int32_t encoding = encoding_;
    uint64_t dataStart = data_start_;
    const bool firstChosen = oldSize == 0 && encoding_chosen_;
    if (firstChosen) {
        // The encoding chosen while the file was empty meets its first bytes,
        // which may hold its byte order mark.
        auto apply = [&] { encoding = ApplyChoice(encoding_, data_, size_, dataStart); };
        if (!RunGuarded(apply)) {
            return false;
        }
    } else if (oldSize < kDetectBytes && !encoding_chosen_) {
        auto detect = [&] { encoding = DetectEncodingOf(data_, size_); };
        if (!RunGuarded(detect)) {
            return false;
        }
        dataStart = IsUtf16(encoding) ? 2 : encoding == Utf8Bom ? 3 : 0;
    }
    if (firstChosen || encoding != encoding_) {
        // Too few bytes had arrived to tell the encoding: index everything anew.
        starts_.Clear();
        legacy_.reset();
        encoding_ = encoding;
        data_start_ = dataStart;
        if (IsUtf16(encoding) || IsUtf8Encoding(encoding)) {
            code_page_.clear();
        } else if (!encoding_chosen_) {
            code_page_ = LegacyCodePageName();
        }
        update.first_changed = 0;
        return IndexLines();
    }

    // Only the last line, or the last two when the last is the empty one after
    // a final CR (whose LF may just have arrived), can have changed.
    const uint64_t start = data_start_;
    const size_t count = starts_.size();
    size_t from = count == 0 ? 0 : count - 1;
    if (from > 0 && starts_.Start(from) >= text_end_) {
        --from;
    }
    std::vector<std::u16string> before;
    std::u16string buffer;
    for (size_t line = from; line < count; ++line) {
        before.emplace_back(LineText(line, buffer));
    }
    uint64_t pos = count == 0 ? start : starts_.Start(from);
    starts_.Truncate(from);
    text_end_ = IsUtf16(encoding_) ? start + (size_ - start) / 2 * 2 : size_;
    if (FileChanged() || !IndexLinesFrom(pos)) {
        return false;
    }
    update.first_changed = count;
    for (size_t k = 0; k < before.size(); ++k) {
        if (LineText(from + k, buffer) != before[k]) {
            update.first_changed = from + k;
            break;
        }
    }
    if (update.first_changed == starts_.size()) {
        update.change = FileChange::None;  // a part of a code unit or a CR's LF came
    }
    return !FileChanged();
}

bool TextDocument::IndexLinesFrom(uint64_t pos) {
    bool ok = true;
    auto index = [&] {
        try {
            uint64_t b = 0;
            uint64_t e = 0;
            LineStep step;
            while ((step = NextLine(data_, size_, size_, encoding_, pos, b, e)) == LineStep::Line) {
                starts_.Append(b);
            }
            if (step == LineStep::AtEnd && EndsWithLineBreakAt(data_, size_, encoding_)) {
                starts_.Append(size_);
            }
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    };
    return RunGuarded(index) && ok;
}

}  // namespace linesift
