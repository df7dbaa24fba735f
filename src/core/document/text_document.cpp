#include "document/text_document.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <new>
#include <thread>
#include <utility>

#include "document/clipboard_text.h"
#include "document/line_scan.h"
#include "document/text_document_parts.h"
#include "document/text_file_stream.h"
#include "platform/char_class.h"
#include "platform/code_page.h"
#include "platform/file_replacement.h"
#include "platform/mapped_read_guard.h"

namespace linesift {

namespace {

// Data at least this large is indexed on two threads.
constexpr uint64_t kParallelThreshold = 16 << 20;
uint64_t g_parallel_threshold = kParallelThreshold;
// A batch of ReadLines holds at most this many lines, and more than one line
// only while their bytes stay within kBatchBytes.
constexpr size_t kBatchLines = 4096;
constexpr uint64_t kBatchBytes = 1 << 20;
// ReadLines asks the system whether the file shrank after this many batches.
constexpr size_t kBatchesPerCheck = 64;

// Pages of a mapped file are brought in this many bytes at a time ahead of
// the scan, in one system call instead of a fault per few pages.
constexpr uint64_t kPopulateBytes = 4 << 20;

enum class PartError { None, BusError, OutOfMemory };

// One independently readable range of the data and the index of its lines.
struct IndexPart {
    const uint8_t* data;
    uint64_t size;  // of all the data
    uint64_t begin;
    uint64_t limit;
    int32_t encoding;
    bool last;  // the end rule applies after this part
    LineIndex* starts;
    const TextDocument::ProgressHandler* progress;  // reports for the whole load; null for none
    uint64_t scale;                                 // bytes of the whole load per byte of this part
    bool mapped;                                    // data is a mapping worth populating
    PartError error = PartError::None;
};

// Asks the system to read in the pages of [from, from + kPopulateBytes) of
// the mapping; a failure only means the scan faults them in itself.
void Populate(const IndexPart& part, uint64_t from) {
    const uint64_t page = 4096;
    uint64_t begin = from / page * page;
    uint64_t end = std::min(part.limit, from + kPopulateBytes);
    if (end > begin) {
        ::madvise(const_cast<uint8_t*>(part.data) + begin, end - begin, MADV_POPULATE_READ);
    }
}

// Appends the starts of the lines after the breaks at at + the set bits of
// mask, when before limit; skip is the offset of an LF that belongs to a CR
// LF already seen.
inline void TakeBreaks(const uint8_t* data, uint64_t size, uint64_t limit, uint64_t at,
                       uint64_t mask, uint64_t& skip, LineIndex& starts) {
    for (; mask != 0; mask &= mask - 1) {
        uint64_t i = at + static_cast<uint64_t>(std::countr_zero(mask));
        if (i == skip) {
            continue;
        }
        uint64_t after = i + 1;
        if (data[i] == '\r' && after < size && data[after] == '\n') {
            skip = after++;
        }
        if (after < limit) {
            starts.Append(after);
        }
    }
}

// The CR and LF bytes of [p, p + 64) as bits.
inline uint64_t BreakMaskSse2(const uint8_t* p) {
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        __m128i hit = _mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr));
        mask |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(hit))) << (16 * k);
    }
    return mask;
}

__attribute__((target("avx2"), always_inline)) inline uint64_t BreakMaskAvx2(const uint8_t* p) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    uint32_t low = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(a, lf), _mm256_cmpeq_epi8(a, cr))));
    uint32_t high = static_cast<uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(b, lf), _mm256_cmpeq_epi8(b, cr))));
    return low | static_cast<uint64_t>(high) << 32;
}

// A line begins after every CR, LF or CR LF at offsets [from, to) of 8-bit
// text, when that is before limit (see TakeBreaks). The same lines as
// NextLine, without its per-line work.
void IndexBreaks8Sse2(const uint8_t* data, uint64_t size, uint64_t from, uint64_t to,
                      uint64_t limit, uint64_t& skip, LineIndex& starts) {
    uint64_t at = from;
    for (; at + 64 <= to; at += 64) {
        TakeBreaks(data, size, limit, at, BreakMaskSse2(data + at), skip, starts);
    }
    for (; at < to; ++at) {
        if (data[at] == '\n' || data[at] == '\r') {
            TakeBreaks(data, size, limit, at, 1, skip, starts);
        }
    }
}

__attribute__((target("avx2"))) void IndexBreaks8Avx2(const uint8_t* data, uint64_t size,
                                                      uint64_t from, uint64_t to, uint64_t limit,
                                                      uint64_t& skip, LineIndex& starts) {
    uint64_t at = from;
    for (; at + 64 <= to; at += 64) {
        TakeBreaks(data, size, limit, at, BreakMaskAvx2(data + at), skip, starts);
    }
    IndexBreaks8Sse2(data, size, at, to, limit, skip, starts);
}

void IndexBreaks8(const uint8_t* data, uint64_t size, uint64_t from, uint64_t to, uint64_t limit,
                  uint64_t& skip, LineIndex& starts) {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    (avx2 ? IndexBreaks8Avx2 : IndexBreaks8Sse2)(data, size, from, to, limit, skip, starts);
}

// IndexPartLines for 8-bit encodings, a stretch of kPopulateBytes at a time.
void IndexPartLines8(IndexPart& part) {
    if (part.begin < part.limit) {
        part.starts->Append(part.begin);
    }
    uint64_t skip = UINT64_MAX;
    for (uint64_t at = part.begin; at < part.limit; at += kPopulateBytes) {
        uint64_t to = std::min(part.limit, at + kPopulateBytes);
        if (part.mapped && to < part.limit) {
            Populate(part, to);
        }
        IndexBreaks8(part.data, part.size, at, to, part.limit, skip, *part.starts);
        if (part.progress != nullptr && (to - part.begin) >> 25 != (at - part.begin) >> 25) {
            (*part.progress)((to - part.begin) * part.scale, part.size);
        }
    }
}

void IndexPartLines(IndexPart& part) {
    auto body = [&part] {
        try {
            if (!IsUtf16(part.encoding)) {
                if (part.mapped) {
                    Populate(part, part.begin);
                }
                IndexPartLines8(part);
                if (part.last && EndsWithLineBreakAt(part.data, part.size, part.encoding)) {
                    part.starts->Append(part.size);
                }
                return;
            }
            uint64_t pos = part.begin;
            uint64_t b = 0;
            uint64_t e = 0;
            uint64_t populated = part.begin;
            LineStep step;
            while ((step = NextLine(part.data, part.size, part.limit, part.encoding, pos, b, e)) ==
                   LineStep::Line) {
                part.starts->Append(b);
                while (part.mapped && populated < part.limit && pos + kPopulateBytes > populated) {
                    Populate(part, populated);
                    populated += kPopulateBytes;
                }
                if (part.progress != nullptr &&
                    (pos - part.begin) >> 25 != (b - part.begin) >> 25) {
                    (*part.progress)((pos - part.begin) * part.scale, part.size);
                }
            }
            if (part.last && step == LineStep::AtEnd &&
                EndsWithLineBreakAt(part.data, part.size, part.encoding)) {
                part.starts->Append(part.size);
            }
        } catch (const std::bad_alloc&) {
            part.error = PartError::OutOfMemory;
        }
    };
    if (!RunGuarded(body)) {
        part.error = PartError::BusError;
    }
}

uint64_t DataStart(int32_t encoding) {
    return IsUtf16(encoding) ? 2 : encoding == Utf8Bom ? 3 : 0;
}

}  // namespace

int32_t ApplyChoice(int32_t chosen, const uint8_t* data, uint64_t size, uint64_t& start) {
    auto begins = [&](std::initializer_list<uint8_t> mark) {
        return size >= mark.size() && std::equal(mark.begin(), mark.end(), data);
    };
    if (chosen == Utf8 && begins({0xEF, 0xBB, 0xBF})) {
        chosen = Utf8Bom;
    }
    const bool mark = (chosen == Utf16Le && begins({0xFF, 0xFE})) ||
                      (chosen == Utf16Be && begins({0xFE, 0xFF})) || chosen == Utf8Bom;
    start = mark ? DataStart(chosen) : 0;
    return chosen;
}

namespace {

bool IsLegacy(int32_t encoding) {
    return !IsUtf16(encoding) && !IsUtf8Encoding(encoding);
}

// Reads fd to its end into out. False with errno set on a read error;
// throws std::bad_alloc.
bool ReadToEnd(int fd, std::vector<uint8_t>& out) {
    out.clear();
    size_t used = 0;
    for (;;) {
        if (out.size() - used < 65536) {
            out.resize(std::max<size_t>(out.size() * 2, 65536));
        }
        ssize_t got = ::read(fd, out.data() + used, out.size() - used);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        used += static_cast<size_t>(got);
    }
    out.resize(used);
    out.shrink_to_fit();
    return true;
}

}  // namespace

void SetParallelLoadThresholdForTesting(uint64_t bytes) {
    g_parallel_threshold = bytes == 0 ? kParallelThreshold : bytes;
}

const char* ReadStatusText(ReadStatus status) {
    switch (status) {
        case ReadStatus::Ok:
            return "";
        case ReadStatus::FileChanged:
            return "the file changed on disk while it was open";
        case ReadStatus::OutOfMemory:
            return "not enough memory to read the lines";
    }
    return "";
}

TextDocument::TextDocument() = default;
TextDocument::~TextDocument() = default;

TextDocument::TextDocument(TextDocument&& other) noexcept {
    *this = std::move(other);
}

TextDocument& TextDocument::operator=(TextDocument&& other) noexcept {
    if (this == &other) {
        return *this;
    }
    modified_ = std::exchange(other.modified_, false);
    imported_ = std::exchange(other.imported_, false);
    last_write_time_ = other.last_write_time_;
    other.last_write_time_.SetToZero();
    path_ = std::exchange(other.path_, {});
    last_error_ = std::exchange(other.last_error_, {});
    progress_ = std::exchange(other.progress_, {});
    // The owned bytes keep their address when the vector moves, so data_
    // stays valid; so does a mapping, which moves as a pointer.
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    text_end_ = std::exchange(other.text_end_, 0);
    encoding_ = std::exchange(other.encoding_, Detect);
    code_page_ = std::exchange(other.code_page_, {});
    encoding_chosen_ = std::exchange(other.encoding_chosen_, false);
    data_start_ = std::exchange(other.data_start_, 0);
    line_endings_ = std::exchange(other.line_endings_, true);
    ascii_bytes_ = std::exchange(other.ascii_bytes_, false);
    mapping_ = std::move(other.mapping_);
    owned_ = std::move(other.owned_);
    other.owned_.clear();
    starts_ = std::move(other.starts_);
    other.starts_.Clear();
    legacy_ = std::move(other.legacy_);
    file_changed_.store(other.file_changed_.exchange(false, std::memory_order_relaxed),
                        std::memory_order_relaxed);
    indexed_all_.store(other.indexed_all_.exchange(false));
    follow_ = std::move(other.follow_);
    return *this;
}

bool TextDocument::Fail(std::string why) {
    last_error_ = std::move(why);
    return false;
}

bool TextDocument::LoadFromFile(const std::u16string& path, LoadOptions options) {
    Reset();
    last_error_.clear();
    std::string native = ToNativePath(path);
    // The time is taken before reading, so a change made during the load is
    // noticed later as an outside change.
    FileTimeStamp time;
    bool haveTime = GetLastWriteTime(native, time);
    bool ok = false;
    try {
        ok = LoadLines(native, options);
    } catch (const std::bad_alloc&) {
        ok = Fail("not enough memory to load the file");
    }
    if (!ok) {
        std::string why = last_error_;
        Reset();
        last_error_ = why;
        return false;
    }
    last_write_time_ = haveTime ? time : FileTimeStamp();
    modified_ = false;
    path_ = path;
    RememberFileEnds();
    return true;
}

bool TextDocument::LoadLines(const std::string& path, LoadOptions options) {
    // Without O_NONBLOCK, opening a pipe that has no writer would wait for one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Fail(std::strerror(errno));
    }
    auto mapping = std::make_unique<Mapping>();
    mapping->fd = fd;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        return Fail(std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) {
        return Fail(std::strerror(EISDIR));
    }
    if (!S_ISREG(st.st_mode) && !options.allow_streams) {
        return Fail("not a regular file (a pipe, terminal or device)");
    }
    if (S_ISFIFO(st.st_mode)) {
        // Like other line tools, wait for a writer when there is none yet.
        // The descriptor stays open: a writer that already came and went
        // left its bytes in the pipe, which reopening would throw away.
        struct pollfd wait = {.fd = fd, .events = POLLIN, .revents = 0};
        while (::poll(&wait, 1, -1) < 0 && errno == EINTR) {
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (S_ISREG(st.st_mode) && size > 0) {
        void* p = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
        if (p != MAP_FAILED) {
            mapping->base = p;
            mapping->length = size;
            ::madvise(p, size, MADV_SEQUENTIAL);
            data_ = static_cast<const uint8_t*>(p);
            size_ = size;
            mapping_ = std::move(mapping);
        }
    }
    if (mapping_ == nullptr) {
        // Files of the system that report no size (/proc), files that cannot
        // be mapped, and streams the caller allows are read to their end.
        if (!ReadToEnd(fd, owned_)) {
            return Fail(std::strerror(errno));
        }
        if (S_ISREG(st.st_mode) && owned_.empty()) {
            mapping_ = std::move(mapping);  // an empty file: kept open, it may grow
        }
        mapping.reset();
        data_ = owned_.data();
        size_ = owned_.size();
    }
    int32_t encoding = -1;
    auto detect = [&] { encoding = DetectEncodingOf(data_, size_); };
    if (!RunGuarded(detect)) {
        return Fail(ReadStatusText(ReadStatus::FileChanged));
    }
    const EncodingChoice& choice = options.encoding;
    if (encoding == -1) {
        // No bytes: no lines. A chosen encoding stays, for the bytes a
        // followed file gains.
        if (!choice.IsAuto()) {
            encoding_ = choice.encoding;
            encoding_chosen_ = true;
            code_page_ = !IsLegacy(encoding_)       ? std::string()
                         : choice.code_page.empty() ? LegacyCodePageName()
                                                    : choice.code_page;
        }
        indexed_all_.store(true);
        return true;
    }
    data_start_ = DataStart(encoding);
    if (!choice.IsAuto()) {
        auto apply = [&] { encoding = ApplyChoice(choice.encoding, data_, size_, data_start_); };
        if (!RunGuarded(apply)) {
            return Fail(ReadStatusText(ReadStatus::FileChanged));
        }
        encoding_chosen_ = true;
    }
    encoding_ = encoding;
    if (IsLegacy(encoding)) {
        code_page_ = choice.code_page.empty() ? LegacyCodePageName() : choice.code_page;
    }
    bool ok = IndexLines();
    if (ok && mapping_ != nullptr) {
        ::madvise(mapping_->base, mapping_->length, MADV_NORMAL);
    }
    return ok;
}

bool TextDocument::IndexLines() {
    const uint64_t start = data_start_;
    text_end_ = IsUtf16(encoding_) ? start + (size_ - start) / 2 * 2 : size_;
    line_endings_ = true;
    if (IsLegacy(encoding_)) {
        legacy_ = std::make_unique<LegacyDecoder>(code_page_);
    }
    ascii_bytes_ = AsciiBytesOf(encoding_);
    uint64_t split = 0;
    if (size_ - start >= g_parallel_threshold && std::thread::hardware_concurrency() >= 2) {
        auto find = [&] {
            split = FindSplitPoint(data_, size_, start, start + (size_ - start) / 2, encoding_);
        };
        if (!RunGuarded(find)) {
            return Fail(ReadStatusText(ReadStatus::FileChanged));
        }
        if (split >= size_) {
            split = 0;
        }
    }
    LineIndex secondStarts;
    const ProgressHandler* progress = progress_ ? &progress_ : nullptr;
    IndexPart first{.data = data_,
                    .size = size_,
                    .begin = start,
                    .limit = split ? split : size_,
                    .encoding = encoding_,
                    .last = split == 0,
                    .starts = &starts_,
                    .progress = progress,
                    .scale = split ? 2u : 1u,
                    .mapped = mapping_ != nullptr};
    IndexPart second{.data = data_,
                     .size = size_,
                     .begin = split,
                     .limit = size_,
                     .encoding = encoding_,
                     .last = true,
                     .starts = &secondStarts,
                     .progress = nullptr,
                     .scale = 1,
                     .mapped = mapping_ != nullptr};
    if (split != 0) {
        std::thread worker;
        try {
            worker = std::thread([&second] { IndexPartLines(second); });
        } catch (...) {
        }
        IndexPartLines(first);
        if (worker.joinable()) {
            worker.join();
        } else {
            IndexPartLines(second);
        }
    } else {
        IndexPartLines(first);
    }
    for (const IndexPart* part : {&first, &second}) {
        switch (part->error) {
            case PartError::None:
                break;
            case PartError::BusError:
                return Fail(ReadStatusText(ReadStatus::FileChanged));
            case PartError::OutOfMemory:
                return Fail("not enough memory to load the file");
        }
    }
    if (split != 0) {
        starts_.AppendAll(std::move(secondStarts));
    }
    indexed_all_.store(true);
    return true;
}

void TextDocument::UseOwnedText() {
    data_ = owned_.data();
    size_ = owned_.size();
    text_end_ = size_;
    encoding_ = Utf16Le;
    data_start_ = 0;
    line_endings_ = false;
    ascii_bytes_ = false;
    indexed_all_.store(true);
}

bool TextDocument::LoadFromClipboard() {
    Reset();
    std::u16string text;
    if (!ClipboardText::Instance().GetText(text)) {
        return false;
    }
    try {
        owned_.reserve(text.size() * 2);
        uint64_t lineStart = 0;
        for (char16_t c : text) {
            if (c == u'\r') {
                continue;
            }
            if (c == u'\n') {
                starts_.Append(lineStart);
                lineStart = owned_.size();
                continue;
            }
            owned_.push_back(static_cast<uint8_t>(c & 0xFF));
            owned_.push_back(static_cast<uint8_t>(c >> 8));
        }
        if (owned_.size() != lineStart) {
            starts_.Append(lineStart);
        }
    } catch (const std::bad_alloc&) {
        Reset();
        return false;
    }
    UseOwnedText();
    path_ = u"Clipboard";
    modified_ = true;
    imported_ = true;
    return true;
}

void TextDocument::LoadFromLines(const std::vector<std::u16string>& lines) {
    Reset();
    size_t units = 0;
    for (const std::u16string& line : lines) {
        units += line.size();
    }
    owned_.resize(units * 2);
    uint64_t at = 0;
    for (const std::u16string& line : lines) {
        starts_.Append(at);
        if (!line.empty()) {  // an empty text may have no storage to copy to
            std::memcpy(owned_.data() + at, line.data(), line.size() * 2);
        }
        at += line.size() * 2;
    }
    UseOwnedText();
}

uint64_t TextDocument::EncodedBytes(size_t begin, size_t end) const {
    end = std::min(end, LineCount());
    if (begin >= end) {
        return 0;
    }
    uint64_t first = 0;
    uint64_t unused = 0;
    uint64_t last = 0;
    RawRange(begin, first, unused);
    RawRange(end - 1, unused, last);
    return last - first;
}

void TextDocument::RawRange(size_t line, uint64_t& begin, uint64_t& end) const {
    begin = starts_.Start(line);
    end = line + 1 < starts_.size() ? starts_.Start(line + 1) : text_end_;
    end = std::max(begin, std::min(end, text_end_));
}

namespace {

// Steps end back over the line ending that closes the bytes [begin, end);
// src points at the byte of offset srcOffset.
void DropLineEnding(const uint8_t* src, uint64_t srcOffset, int32_t encoding, uint64_t begin,
                    uint64_t& end) {
    const uint8_t* p = src - srcOffset;
    if (IsUtf16(encoding)) {
        bool be = encoding == Utf16Be;
        auto unit = [&](uint64_t at) {
            return be ? static_cast<uint16_t>(p[at] << 8 | p[at + 1])
                      : static_cast<uint16_t>(p[at] | p[at + 1] << 8);
        };
        if (end - begin >= 2 && unit(end - 2) == '\n') {
            end -= 2;
            if (end - begin >= 2 && unit(end - 2) == '\r') {
                end -= 2;
            }
        } else if (end - begin >= 2 && unit(end - 2) == '\r') {
            end -= 2;
        }
        return;
    }
    if (end > begin && p[end - 1] == '\n') {
        --end;
        if (end > begin && p[end - 1] == '\r') {
            --end;
        }
    } else if (end > begin && p[end - 1] == '\r') {
        --end;
    }
}

}  // namespace

ReadStatus TextDocument::DecodeLines(size_t first, size_t count, LineBatch& batch) const {
    uint64_t b0 = 0;
    uint64_t e0 = 0;
    uint64_t bLast = 0;
    uint64_t eLast = 0;
    RawRange(first, b0, e0);
    RawRange(first + count - 1, bLast, eLast);
    const uint64_t bytes = eLast - b0;
    const bool table = legacy_ == nullptr || legacy_->IsSingleByte();
    // Stateful decoders get a copy of the bytes, so a fault never interrupts them.
    const bool copy = !table && mapping_ != nullptr;
    try {
        uint64_t units = IsUtf16(encoding_) ? bytes / 2 : table ? bytes : 2 * bytes;
        batch.text_.resize(units + 1);
        batch.ends_.resize(count);
        if (copy) {
            batch.bytes_.resize(bytes);
        }
    } catch (const std::bad_alloc&) {
        return ReadStatus::OutOfMemory;
    }
    batch.first_ = first;
    const uint8_t* src = data_ + b0;
    if (copy && bytes != 0) {
        uint8_t* to = batch.bytes_.data();
        auto take = [&] { std::memcpy(to, data_ + b0, bytes); };
        if (!RunGuarded(take)) {
            return ReadStatus::FileChanged;
        }
        src = to;
    }
    auto decode = [&] {
        char16_t* out = batch.text_.data();
        size_t o = 0;
        for (size_t k = 0; k < count; ++k) {
            uint64_t b = 0;
            uint64_t e = 0;
            RawRange(first + k, b, e);
            if (line_endings_) {
                DropLineEnding(src, b0, encoding_, b, e);
            }
            const uint8_t* p = src + (b - b0);
            size_t n = e - b;
            if (IsUtf8Encoding(encoding_)) {
                o += DecodeUtf8Into(p, n, out + o);
            } else if (IsUtf16(encoding_)) {
                DecodeUtf16Into(p, n / 2, encoding_ == Utf16Be, out + o);
                o += n / 2;
            } else {
                o += legacy_->DecodeInto(std::string_view(reinterpret_cast<const char*>(p), n),
                                         out + o);
            }
            batch.ends_[k] = o;
        }
    };
    if (!table) {
        std::lock_guard lock(legacy_mutex_);
        decode();
        return ReadStatus::Ok;
    }
    if (mapping_ == nullptr) {
        decode();
        return ReadStatus::Ok;
    }
    return RunGuarded(decode) ? ReadStatus::Ok : ReadStatus::FileChanged;
}

size_t TextDocument::IndexedLines() const {
    if (indexed_all_.load()) {
        return starts_.size();
    }
    // The last start's line ends where the next line starts, or at the end.
    size_t starts = starts_.size();
    return starts > 0 ? starts - 1 : 0;
}

std::u16string_view TextDocument::IndexedLineText(size_t line, std::u16string& buffer) const {
    std::shared_lock lock(release_mutex_);
    if (line >= IndexedLines()) {
        return {};
    }
    return LineText(line, buffer);
}

std::u16string_view TextDocument::LineText(size_t line, std::u16string& buffer) const {
    if (line >= starts_.size() || FileChanged()) {
        return {};
    }
    if (!line_endings_ && mapping_ == nullptr && encoding_ == Utf16Le) {
        uint64_t b = 0;
        uint64_t e = 0;
        RawRange(line, b, e);
        return {reinterpret_cast<const char16_t*>(data_ + b), (e - b) / 2};
    }
    // A one-line batch whose text is buffer: the read reuses its memory.
    LineBatch batch;
    batch.text_ = std::move(buffer);
    ReadStatus status = DecodeLines(line, 1, batch);
    buffer = std::move(batch.text_);
    if (status != ReadStatus::Ok) {
        if (status == ReadStatus::FileChanged) {
            NoteChanged();
        }
        return {};
    }
    return {buffer.data(), batch.ends_[0]};
}

ReadStatus TextDocument::ReadLines(size_t begin, size_t end, LineBatch& batch,
                                   const std::function<bool(const LineBatch&)>& visit) const {
    return ReadBatches(begin, end, [&](size_t line, size_t count, bool& more) {
        const ReadStatus status = DecodeLines(line, count, batch);
        more = status == ReadStatus::Ok && visit(batch);
        return status;
    });
}

ReadStatus TextDocument::ReadBatches(
    size_t begin, size_t end, const std::function<ReadStatus(size_t, size_t, bool&)>& read) const {
    end = std::min(end, starts_.size());
    size_t batches = 0;
    for (size_t line = begin; line < end; ++batches) {
        if (batches % kBatchesPerCheck == 0 && CheckFile()) {
            return ReadStatus::FileChanged;
        }
        const size_t count = BatchLines(line, end);
        bool more = true;
        const ReadStatus status = read(line, count, more);
        if (status != ReadStatus::Ok) {
            if (status == ReadStatus::FileChanged) {
                NoteChanged();
            }
            return status;
        }
        if (!more) {
            break;
        }
        line += count;
    }
    return ReadStatus::Ok;
}

size_t TextDocument::BatchLines(size_t line, size_t end) const {
    size_t count = std::min(kBatchLines, end - line);
    uint64_t b = starts_.Start(line);
    while (count > 1) {
        uint64_t lb = 0;
        uint64_t le = 0;
        RawRange(line + count - 1, lb, le);
        if (le - b <= kBatchBytes) {
            break;
        }
        count /= 2;
    }
    return count;
}

bool TextDocument::AsciiBytesOf(int32_t encoding) const {
    if (IsUtf8Encoding(encoding)) {
        return true;
    }
    if (legacy_ == nullptr || !legacy_->IsSingleByte()) {
        return false;
    }
    const char16_t* table = legacy_->SingleByteTable();
    for (uint32_t b = 0; b < 256; ++b) {
        if (b < 0x80 ? table[b] != b : table[b] < 0x80) {
            return false;
        }
    }
    return true;
}

ReadStatus TextDocument::DecodePicked(ByteBatch& batch) const {
    if (batch.picked_.empty()) {
        return ReadStatus::Ok;
    }
    size_t units = 0;
    for (size_t k : batch.picked_) {
        units += batch.Begin(k + 1) - batch.Begin(k);
    }
    try {
        if (batch.text_.size() < units + 1) {
            batch.text_.resize(units + 1);
        }
        batch.ends_.resize(batch.picked_.size());
    } catch (const std::bad_alloc&) {
        return ReadStatus::OutOfMemory;
    }
    const bool utf8 = IsUtf8Encoding(encoding_);
    auto decode = [&] {
        char16_t* out = batch.text_.data();
        size_t o = 0;
        for (size_t i = 0; i < batch.picked_.size(); ++i) {
            uint64_t b = batch.base_ + batch.Begin(batch.picked_[i]);
            uint64_t e = batch.base_ + batch.Begin(batch.picked_[i] + 1);
            DropLineEnding(batch.data_, batch.base_, encoding_, b, e);
            const uint8_t* p = batch.data_ + (b - batch.base_);
            const size_t n = e - b;
            if (utf8) {
                o += DecodeUtf8Into(p, n, out + o);
            } else {
                o += legacy_->DecodeInto(std::string_view(reinterpret_cast<const char*>(p), n),
                                         out + o);
            }
            batch.ends_[i] = o;
        }
    };
    if (mapping_ == nullptr) {
        decode();
        return ReadStatus::Ok;
    }
    return RunGuarded(decode) ? ReadStatus::Ok : ReadStatus::FileChanged;
}

ReadStatus TextDocument::ReadLineBytes(size_t begin, size_t end, ByteBatch& batch,
                                       const std::function<void(ByteBatch&)>& pick,
                                       const std::function<bool(const ByteBatch&)>& visit) const {
    if (!ascii_bytes_) {
        return ReadStatus::Ok;
    }
    end = std::min(end, starts_.size());
    try {
        batch.picked_.reserve(std::min(kBatchLines, end - std::min(begin, end)));
    } catch (const std::bad_alloc&) {
        return ReadStatus::OutOfMemory;
    }
    batch.starts_ = &starts_;
    return ReadBatches(begin, end, [&](size_t line, size_t count, bool& more) {
        uint64_t b = 0;
        uint64_t e = 0;
        RawRange(line + count - 1, b, e);
        batch.first_ = line;
        batch.count_ = count;
        batch.base_ = starts_.Start(line);
        batch.data_ = data_ + batch.base_;
        batch.bytes_ = static_cast<size_t>(e - batch.base_);
        batch.picked_.clear();
        bool picked = true;
        if (mapping_ != nullptr) {
            auto guarded = [&] { pick(batch); };
            picked = RunGuarded(guarded);
        } else {
            pick(batch);
        }
        const ReadStatus status = picked ? DecodePicked(batch) : ReadStatus::FileChanged;
        more = status == ReadStatus::Ok && visit(batch);
        return status;
    });
}

bool TextDocument::CheckFile() const {
    if (mapping_ != nullptr && !FileChanged()) {
        struct stat st;
        if (::fstat(mapping_->fd, &st) != 0 || static_cast<uint64_t>(st.st_size) < size_) {
            NoteChanged();
        }
    }
    return FileChanged();
}

bool WriteTextFileReplacing(const std::string& path,
                            const std::function<bool(TextFileStream&)>& writeLines,
                            std::string& error) {
    FileReplacement replacement(path);
    if (!replacement.IsReady()) {
        error = replacement.Error();
        return false;
    }
    bool ok = true;
    {
        TextFileStream stream(Detect);
        ok = stream.CreateNew(replacement.WritePath(), 4096) && writeLines(stream);
        ok = ok && (stream.GetLength() == 0 || stream.Sync());
        ok = stream.Close() && ok;
    }
    if (!ok) {
        error = "the file could not be written completely";
        return false;
    }
    if (!replacement.Commit()) {
        error = replacement.Error();
        return false;
    }
    return true;
}

bool TextDocument::SaveToFile(const std::u16string& path, const std::atomic<bool>* cancel) {
    last_error_.clear();
    std::u16string used = path.empty() ? path_ : path;
    if (used.empty()) {
        return Fail("the document has no file name");
    }
    ReadStatus read = ReadStatus::Ok;
    auto writeLines = [this, &read, cancel](TextFileStream& stream) {
        const size_t count = LineCount();
        LineBatch batch;
        bool written = true;
        read = ReadLines(0, count, batch, [&](const LineBatch& lines) {
            for (size_t k = 0; k < lines.size() && written; ++k) {
                std::u16string_view text = lines.Line(k);
                bool last = lines.FirstLine() + k + 1 == count;
                written = (cancel == nullptr || !cancel->load(std::memory_order_relaxed)) &&
                          ((last && text.empty()) || stream.WriteLine(text, !last));
            }
            return written;
        });
        return written && read == ReadStatus::Ok;
    };
    std::string native = ToNativePath(used);
    if (!WriteTextFileReplacing(native, writeLines, last_error_)) {
        if (cancel != nullptr && cancel->load()) {
            last_error_ = "cancelled";
        } else if (read != ReadStatus::Ok) {
            last_error_ = ReadStatusText(read);
        }
        return false;
    }
    char resolved[PATH_MAX];
    std::string written =
        ::realpath(native.c_str(), resolved) != nullptr ? std::string(resolved) : native;
    modified_ = false;
    imported_ = false;
    path_ = used;
    follow_.reset();  // the lines are still those of the mapped file, which may be another
    FileTimeStamp time;
    last_write_time_ = GetLastWriteTime(written, time) ? time : FileTimeStamp();
    return true;
}

void TextDocument::Reset() {
    ClearLines();
    path_.clear();
    last_write_time_.SetToZero();
    modified_ = false;
    imported_ = false;
}

void TextDocument::ClearLines() {
    std::unique_lock lock(release_mutex_);
    indexed_all_.store(false);
    if (!starts_.empty()) {
        modified_ = true;
    }
    starts_.Clear();
    mapping_.reset();
    owned_.clear();
    owned_.shrink_to_fit();
    legacy_.reset();
    data_ = nullptr;
    size_ = 0;
    text_end_ = 0;
    encoding_ = Detect;
    code_page_.clear();
    encoding_chosen_ = false;
    data_start_ = 0;
    line_endings_ = true;
    ascii_bytes_ = false;
    file_changed_.store(false, std::memory_order_relaxed);
    follow_.reset();
}

std::u16string TextDocument::GetTitle() const {
    if (path_.empty()) {
        return u"Untitled";
    }
    size_t b = 0;
    size_t e = path_.size();
    while (b < e && IsWhiteSpaceUnit(path_[b])) {
        ++b;
    }
    while (e > b && IsWhiteSpaceUnit(path_[e - 1])) {
        --e;
    }
    std::u16string_view trimmed(path_.data() + b, e - b);
    size_t slash = trimmed.rfind(u'/');
    return std::u16string(slash == std::u16string_view::npos ? trimmed : trimmed.substr(slash + 1));
}

bool TextDocument::HasChangedOnDisk() const {
    if (IsEmpty() || last_write_time_.IsZero()) {
        return false;
    }
    FileTimeStamp now;
    if (!GetLastWriteTime(ToNativePath(path_), now)) {
        return false;
    }
    return !(now == last_write_time_);
}

}  // namespace linesift
