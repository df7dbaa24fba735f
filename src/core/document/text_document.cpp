#include "document/text_document.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <new>
#include <thread>

#include "document/clipboard_text.h"
#include "document/line_scan.h"
#include "document/text_file_stream.h"
#include "platform/char_class.h"
#include "platform/code_page.h"
#include "platform/file_replacement.h"
#include "platform/mapped_read_guard.h"

namespace linesift {
namespace {

// Data at least this large is read on two threads.
constexpr uint64_t kParallelThreshold = 16 << 20;
uint64_t g_parallel_threshold = kParallelThreshold;
// Units left free after each part's text, so that the vectorised decoder's
// whole-block stores never reach the next part's text.
constexpr size_t kPartGap = 64;

enum class PartError { None, BusError, OutOfMemory, LineTooLong };

// One independently readable range of the file's data and where its lines go.
struct LoadPart {
    const uint8_t* data;
    uint64_t size;  // of all the data
    uint64_t begin;
    uint64_t limit;
    int32_t encoding;
    bool last;  // the end rule applies after this part
    char16_t* dest;
    LineStore* store;
    LegacyDecoder* legacy;  // for Ansi; one per part, since decoders are not shared
    const TextDocument::ProgressHandler* progress;  // reports for the whole load; null for none
    uint64_t scale;                                 // bytes of the whole load per byte of this part
    PartError error = PartError::None;
};

size_t DecodeBytes(const LoadPart& part, uint64_t b, uint64_t e, char16_t* out) {
    const uint8_t* p = part.data + b;
    size_t n = e - b;
    if (IsUtf8Encoding(part.encoding)) {
        return DecodeUtf8Into(p, n, out);
    }
    if (IsUtf16(part.encoding)) {
        DecodeUtf16Into(p, n / 2, part.encoding == Utf16Be, out);
        return n / 2;
    }
    return part.legacy->DecodeInto(std::string_view(reinterpret_cast<const char*>(p), n), out);
}

void ReadPart(LoadPart& part) {
    auto body = [&part] {
        try {
            char16_t* out = part.dest;
            uint64_t pos = part.begin;
            uint64_t b = 0;
            uint64_t e = 0;
            LineStep step;
            while ((step = NextLine(part.data, part.size, part.limit, part.encoding, pos, b, e)) ==
                   LineStep::Line) {
                size_t units = DecodeBytes(part, b, e, out);
                if (units > UINT32_MAX) {
                    part.error = PartError::LineTooLong;
                    return;
                }
                part.store->Append(out, static_cast<uint32_t>(units));
                out += units;
                if (part.progress != nullptr &&
                    (pos - part.begin) >> 25 != (b - part.begin) >> 25) {
                    (*part.progress)((pos - part.begin) * part.scale, part.size);
                }
            }
            if (part.last && step == LineStep::AtEnd &&
                EndsWithLineBreakAt(part.data, part.size, part.encoding)) {
                part.store->Append(out, 0);
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

void SetParallelLoadThresholdForTesting(uint64_t bytes) {
    g_parallel_threshold = bytes == 0 ? kParallelThreshold : bytes;
}

std::string ToNativePath(std::u16string_view path) {
    return Utf16ToUtf8(path);
}

std::u16string FromNativePath(std::string_view path) {
    return Utf8ToUtf16(path);
}

bool TextDocument::Fail(std::string why) {
    last_error_ = std::move(why);
    return false;
}

bool TextDocument::LoadFromFile(const std::u16string& path) {
    Reset();
    last_error_.clear();
    std::string native = ToNativePath(path);
    // The time is taken before reading, so a change made during the load is
    // noticed later as an outside change.
    FileTimeStamp time;
    bool haveTime = GetLastWriteTime(native, time);
    bool ok = false;
    try {
        ok = LoadLines(native);
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
    return true;
}

bool TextDocument::LoadLines(const std::string& path) {
    TextFileStream stream(Detect);
    if (!stream.OpenExisting(path)) {
        return Fail(std::strerror(errno));
    }
    int32_t encoding = stream.DetectEncoding();
    uint64_t size = stream.GetLength();
    if (encoding == -1) {
        return size == 0 || Fail("the file could not be read");
    }
    const uint8_t* data = stream.MapWholeForReading();
    if (data == nullptr) {
        return Fail("the file could not be mapped into memory");
    }
    uint64_t start = DataStart(encoding);

    uint64_t split = 0;
    if (size - start >= g_parallel_threshold && std::thread::hardware_concurrency() >= 2) {
        auto find = [&] {
            split = FindSplitPoint(data, size, start, start + (size - start) / 2, encoding);
        };
        if (!RunGuarded(find)) {
            return Fail("the file was truncated while it was read");
        }
        if (split >= size) {
            split = 0;
        }
    }

    LegacyDecoder legacy0;
    LegacyDecoder legacy1;
    // A code page never yields more units than bytes, except multi-byte
    // legacy code pages, which get twice the room.
    uint64_t scale =
        (encoding == Ansi || encoding > Utf8Bom || encoding < Detect) && !legacy0.IsSingleByte()
            ? 2
            : 1;
    char16_t* arena = arena_.Reserve(scale * size + 3 * kPartGap);
    if (arena == nullptr) {
        return Fail("not enough memory to load the file");
    }
    LineStore secondLines;
    const ProgressHandler* progress = progress_ ? &progress_ : nullptr;
    LoadPart first{.data = data,
                   .size = size,
                   .begin = start,
                   .limit = split ? split : size,
                   .encoding = encoding,
                   .last = split == 0,
                   .dest = arena,
                   .store = &lines_,
                   .legacy = &legacy0,
                   .progress = progress,
                   .scale = split ? 2u : 1u};
    LoadPart second{.data = data,
                    .size = size,
                    .begin = split,
                    .limit = size,
                    .encoding = encoding,
                    .last = true,
                    .dest = arena + scale * split + kPartGap,
                    .store = &secondLines,
                    .legacy = &legacy1,
                    .progress = nullptr,
                    .scale = 1};
    if (split != 0) {
        std::thread worker;
        try {
            worker = std::thread([&second] { ReadPart(second); });
        } catch (...) {
        }
        ReadPart(first);
        if (worker.joinable()) {
            worker.join();
        } else {
            ReadPart(second);
        }
    } else {
        ReadPart(first);
    }
    for (const LoadPart* part : {&first, &second}) {
        switch (part->error) {
            case PartError::None:
                break;
            case PartError::BusError:
                return Fail("the file was truncated while it was read");
            case PartError::OutOfMemory:
                return Fail("not enough memory to load the file");
            case PartError::LineTooLong:
                return Fail("the file has a line of more than 4 Gi characters");
        }
    }
    if (split != 0) {
        lines_.AppendAll(std::move(secondLines));
    }
    stream.Close();
    return true;
}

bool TextDocument::LoadFromClipboard() {
    Reset();
    std::u16string text;
    if (!ClipboardText::Instance().GetText(text)) {
        return false;
    }
    try {
        char16_t* out = arena_.Reserve(text.size() + 1);
        if (out == nullptr) {
            throw std::bad_alloc();
        }
        char16_t* lineStart = out;
        for (char16_t c : text) {
            if (c == u'\r') {
                continue;
            }
            if (c == u'\n') {
                lines_.Append(lineStart, static_cast<uint32_t>(out - lineStart));
                lineStart = out;
                continue;
            }
            *out++ = c;
        }
        if (out != lineStart) {
            lines_.Append(lineStart, static_cast<uint32_t>(out - lineStart));
        }
    } catch (const std::bad_alloc&) {
        Reset();
        return false;
    }
    path_ = u"Clipboard";
    modified_ = true;
    imported_ = true;
    return true;
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

bool TextDocument::SaveToFile(const std::u16string& path) {
    last_error_.clear();
    std::u16string used = path.empty() ? path_ : path;
    if (used.empty()) {
        return Fail("the document has no file name");
    }
    auto writeLines = [this](TextFileStream& stream) {
        size_t count = lines_.size();
        for (size_t i = 0; i < count; ++i) {
            std::u16string_view text = lines_[i].text();
            bool last = i + 1 == count;
            if ((!last || !text.empty()) && !stream.WriteLine(text, !last)) {
                return false;
            }
        }
        return true;
    };
    std::string native = ToNativePath(used);
    if (!WriteTextFileReplacing(native, writeLines, last_error_)) {
        return false;
    }
    char resolved[PATH_MAX];
    std::string written =
        ::realpath(native.c_str(), resolved) != nullptr ? std::string(resolved) : native;
    modified_ = false;
    imported_ = false;
    path_ = used;
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
    if (!lines_.empty()) {
        lines_.Clear();
        modified_ = true;
    }
    arena_.Clear();
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
    if (lines_.empty() || last_write_time_.IsZero()) {
        return false;
    }
    FileTimeStamp now;
    if (!GetLastWriteTime(ToNativePath(path_), now)) {
        return false;
    }
    return !(now == last_write_time_);
}

}  // namespace linesift
