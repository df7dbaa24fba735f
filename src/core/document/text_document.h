#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

#include "document/encoding_choice.h"
#include "document/file_time.h"
#include "document/line_index.h"
#include "document/text_encoding.h"
#include "platform/native_path.h"

namespace linesift {

class LegacyDecoder;
class TextFileStream;

// How a read of a document's text ended.
enum class ReadStatus {
    Ok,
    FileChanged,  // the file lost bytes the document had indexed: it was truncated or rewritten
    OutOfMemory,
};

// Consecutive lines of a document, decoded back to back without their line
// endings into buffers that are reused from one batch to the next.
class LineBatch {
  public:
    // The document line of entry 0.
    size_t FirstLine() const { return first_; }
    size_t size() const { return ends_.size(); }
    // The text of all lines of the batch; entry k is [Begin(k), End(k)).
    const char16_t* Data() const { return text_.data(); }
    size_t Begin(size_t k) const { return k == 0 ? 0 : ends_[k - 1]; }
    size_t End(size_t k) const { return ends_[k]; }
    std::u16string_view Line(size_t k) const {
        return {text_.data() + Begin(k), End(k) - Begin(k)};
    }

  private:
    friend class TextDocument;
    size_t first_ = 0;
    std::u16string text_;
    std::vector<size_t> ends_;
    std::vector<uint8_t> bytes_;  // encoded bytes copied out of a mapping, for stateful decoders
};

// Consecutive lines of a document as the encoded bytes they are stored in,
// for searching lines without decoding them all (TextDocument::ReadLineBytes).
// The lines whose text is needed are picked, then decoded into a buffer that
// is reused from one batch to the next.
class ByteBatch {
  public:
    // The document line of entry 0.
    size_t FirstLine() const { return first_; }
    size_t size() const { return count_; }
    // The bytes of the lines with their line endings, back to back: entry k
    // is [Begin(k), Begin(k + 1)), and Begin(size()) is the end. Readable
    // only while picking.
    const uint8_t* Data() const { return data_; }
    size_t Begin(size_t k) const {
        return k < count_ ? static_cast<size_t>(starts_->Start(first_ + k) - base_) : bytes_;
    }
    // Picks entry k, whose text is to be decoded; entries are picked at most
    // once and in increasing order.
    void Pick(size_t k) {
        if (picked_.size() < count_) {
            picked_.push_back(k);
        }
    }

    // The picked entries and, once decoded, their text without line endings.
    size_t PickedCount() const { return picked_.size(); }
    size_t PickedEntry(size_t i) const { return picked_[i]; }
    std::u16string_view PickedText(size_t i) const {
        size_t begin = i == 0 ? 0 : ends_[i - 1];
        return {text_.data() + begin, ends_[i] - begin};
    }

  private:
    friend class TextDocument;
    const LineIndex* starts_ = nullptr;
    size_t first_ = 0;
    size_t count_ = 0;
    uint64_t base_ = 0;  // the offset of entry 0 in the document's encoded text
    const uint8_t* data_ = nullptr;
    size_t bytes_ = 0;
    std::vector<size_t> picked_;  // capacity count_, so picking never allocates
    std::vector<size_t> ends_;
    std::u16string text_;
};

// What looking again at a followed document's file found.
enum class FileChange {
    None,       // nothing was appended
    Appended,   // lines were added or the last line was completed (see FileUpdate)
    Truncated,  // the file got shorter or its first or last bytes changed: load it again
    Replaced,   // another file is at the path (renamed away and created anew): load it again
    Failed,     // the new bytes could not be mapped; the document is unchanged
};

// The outcome of TextDocument::ReadAppended.
struct FileUpdate {
    FileChange change = FileChange::None;
    // On Appended, lines [first_changed, LineCount()) are new or have a new
    // text (a half-written last line completed in place); the lines before
    // are as they were. LineCount() otherwise.
    size_t first_changed = 0;
};

// What LoadFromFile accepts besides regular files.
struct LoadOptions {
    // Read a pipe, terminal or device until its end instead of refusing it.
    bool allow_streams = false;
    // Read the text in this encoding instead of the detected one. A byte
    // order mark of the chosen encoding is skipped; without one, UTF-16
    // text starts at the first byte.
    EncodingChoice encoding = {};
};

// The one open document: an index of where its lines start in the file's
// bytes, which stay in the file (mapped read-only), or in memory for text
// that has no file (the clipboard, files that cannot be mapped). Lines are
// decoded when something needs their text. Documents are never edited in
// place: they are loaded, imported, reset.
//
// Reading lines (LineCount, LineText, ReadLines, FileChanged) is const and
// safe on several threads at once; loading and resetting are not, and no
// read may run meanwhile.
class TextDocument {
  public:
    TextDocument();
    ~TextDocument();
    TextDocument(const TextDocument&) = delete;
    TextDocument& operator=(const TextDocument&) = delete;
    // A document loaded elsewhere (on another thread) takes this one's place:
    // its index, mapping and text move along; the moved-from document is empty.
    // No read of either may run meanwhile.
    TextDocument(TextDocument&& other) noexcept;
    TextDocument& operator=(TextDocument&& other) noexcept;

    // Replaces the document by the lines of the file at path (read-only; the
    // file is never changed). A pipe, terminal or device is refused unless
    // options allow streams; a file whose size is reported as 0 is read to
    // its end. On failure the document is empty, not modified, without path,
    // and LastError() says why.
    bool LoadFromFile(const std::u16string& path, LoadOptions options = {});
    // Replaces the document by the clipboard's text, named "Clipboard" and
    // modified. False when the clipboard has no text.
    bool LoadFromClipboard();
    // Replaces the document by these lines, held in memory: unnamed and not
    // modified. For tests and tools.
    void LoadFromLines(const std::vector<std::u16string>& lines);
    // Writes the lines to path (or the document's path when path is empty) in
    // the locale's encoding with CR LF breaks. The file is replaced only once
    // it was written completely; on failure it is untouched. Raising cancel
    // (from another thread) stops the writing: false, nothing replaced.
    bool SaveToFile(const std::u16string& path, const std::atomic<bool>* cancel = nullptr);

    void Reset();
    void ClearLines();
    bool IsEmpty() const { return starts_.empty(); }

    const std::u16string& GetPath() const { return path_; }
    void SetPath(const std::u16string& path) { path_ = path; }
    // The document stands for another file than the one it was read from
    // (the compressed file its text was decoded out of): its path and title
    // become that file's, and HasChangedOnDisk compares that file's
    // modification time with time (taken before it was read).
    void SetSource(const std::u16string& path, FileTimeStamp time) {
        path_ = path;
        last_write_time_ = time;
    }
    // The file name (after the last '/'), or "Untitled" without a path.
    std::u16string GetTitle() const;
    bool IsModified() const { return modified_; }
    // True when the document's file has a modification time other than the
    // one it had when it was loaded or saved.
    bool HasChangedOnDisk() const;
    // True for a document that came from the clipboard (whatever its path says).
    bool IsImported() const { return imported_; }
    // The encoding the text is read in (Detect while empty) and, for Ansi,
    // the code page's name.
    int32_t Encoding() const { return encoding_; }
    const std::string& CodePage() const { return code_page_; }
    // The encoding was chosen by the caller, not detected.
    bool IsEncodingChosen() const { return encoding_chosen_; }

    size_t LineCount() const { return starts_.size(); }
    // While LoadFromFile runs on another thread, the lines that can be read
    // already (with IndexedLineText): a prefix of the file's lines that grows
    // as the load indexes them; every line once the load is done, none once
    // it failed. Safe on any thread, for a document that was empty when the
    // load began; the document may only move once the load has returned.
    size_t IndexedLines() const;
    // LineText of a line below IndexedLines(), on any thread while the load
    // runs; empty for other lines (also once a failed load let go of them).
    std::u16string_view IndexedLineText(size_t line, std::u16string& buffer) const;
    // The text of line (below LineCount()) without its line ending. The view
    // points into buffer, which is reused (grown as needed), or into text the
    // document holds; it stays valid until buffer changes or the document is
    // loaded again. Empty when the read failed: FileChanged() then says why.
    std::u16string_view LineText(size_t line, std::u16string& buffer) const;
    // Reads lines [begin, end) in order into batch, a batch of up to some
    // thousand lines (or one long line) at a time, and calls visit with each;
    // visit returns false to stop early (the result is then Ok).
    ReadStatus ReadLines(size_t begin, size_t end, LineBatch& batch,
                         const std::function<bool(const LineBatch&)>& visit) const;
    // Whether ReadLineBytes can read the document: its text is UTF-8 or a
    // single-byte code page that keeps ASCII, so each ASCII byte decodes to
    // the same ASCII unit and nothing else decodes to an ASCII unit.
    bool HasAsciiBytes() const { return ascii_bytes_; }
    // Reads lines [begin, end) in order as their bytes, a batch of up to some
    // thousand lines (or one long line) at a time: pick(batch) looks at the
    // bytes and picks lines, under a guard against the file losing its bytes
    // (it must neither allocate nor own anything on its stack: a fault skips
    // its destructors); then visit(batch) sees the picked lines' text and
    // returns false to stop early (the result is then Ok). Only for documents
    // with HasAsciiBytes().
    ReadStatus ReadLineBytes(size_t begin, size_t end, ByteBatch& batch,
                             const std::function<void(ByteBatch&)>& pick,
                             const std::function<bool(const ByteBatch&)>& visit) const;
    // True once a read found the file's bytes gone or changed under the
    // document (another program truncated or rewrote it). Such reads fail;
    // the way out is loading the file again.
    bool FileChanged() const { return file_changed_.load(std::memory_order_relaxed); }
    // Asks the system now whether the file shrank below what was loaded and
    // returns FileChanged().
    bool CheckFile() const;

    // Looks at the file again and indexes the bytes appended since the last
    // look (or the load), in the document's encoding: the lines read the same
    // as those of loading the grown file at once, however its writes were
    // cut. A file that shrank, whose first or last bytes changed, or that is
    // no longer the one at the path is not read: the caller loads it again.
    // Documents without a file of their own (the clipboard, lines, streams)
    // report None. Like loading, no read may run meanwhile: the mapping may move.
    FileUpdate ReadAppended();

    // Called now and then during a load on the loading thread with the bytes
    // read so far and the total, so a caller can show progress; null for none.
    using ProgressHandler = std::function<void(uint64_t done, uint64_t total)>;
    void SetProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }

    // Why the last load or save failed, for messages outside the desktop
    // program; empty after a success.
    const std::string& LastError() const { return last_error_; }
    // The private memory the line index takes, in bytes.
    size_t IndexBytes() const { return starts_.MemoryBytes(); }
    // The encoded bytes of lines [begin, end), their line endings included:
    // no fewer than the UTF-16 units of their text, since no encoding decodes
    // a byte into more than one unit.
    uint64_t EncodedBytes(size_t begin, size_t end) const;

  private:
    struct Mapping;
    struct FollowState;

    bool LoadLines(const std::string& path, LoadOptions options);
    // Indexes the lines of data_ [0, size_) in the detected encoding.
    bool IndexLines();
    // Holds text in memory: data_ is owned_, lines back to back in UTF-16.
    void UseOwnedText();
    bool Fail(std::string why);
    // The bytes of line [begin, end), line ending included.
    void RawRange(size_t line, uint64_t& begin, uint64_t& end) const;
    // Decodes lines [first, first + count) of the encoded text into batch.
    ReadStatus DecodeLines(size_t first, size_t count, LineBatch& batch) const;
    // The lines of a batch of ReadLineBytes, at most kBatchBytes unless it is one line.
    size_t BatchLines(size_t line, size_t end) const;
    // Walks lines [begin, end) in batches, looking at the file every few
    // batches; read(line, count, more) reads one batch and clears more to
    // stop. A failure ends the walk, and a changed file is noted.
    ReadStatus ReadBatches(size_t begin, size_t end,
                           const std::function<ReadStatus(size_t, size_t, bool&)>& read) const;
    // Decodes the picked lines of batch into its text.
    ReadStatus DecodePicked(ByteBatch& batch) const;
    // Whether the encoding's bytes can be searched as ASCII (HasAsciiBytes).
    bool AsciiBytesOf(int32_t encoding) const;
    void NoteChanged() const { file_changed_.store(true, std::memory_order_relaxed); }
    // Keeps copies of the file's first and last bytes, to tell an append from
    // a rewrite at the next ReadAppended.
    void RememberFileEnds();
    // Whether the file of fd still holds the remembered first and last bytes.
    bool SameFileEnds(int fd) const;
    // Maps the file's first size bytes and indexes the lines from the last
    // complete one on; false when the mapping or a read failed.
    bool IndexAppended(uint64_t size, FileUpdate& update);
    // Appends the starts of the lines from offset pos to the end of the data.
    bool IndexLinesFrom(uint64_t pos);

    bool modified_ = false;
    bool imported_ = false;
    FileTimeStamp last_write_time_;
    std::u16string path_;
    std::string last_error_;
    ProgressHandler progress_;

    // The encoded text: data_[0, size_) is a read-only mapping of the file
    // or owned_. Line i starts at starts_[i]; its bytes end where the next
    // line starts (the last one at text_end_), followed by its line ending
    // when line_endings_ is set.
    const uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    uint64_t text_end_ = 0;
    int32_t encoding_ = Detect;
    std::string code_page_;         // with Ansi: the code page in force
    bool encoding_chosen_ = false;  // encoding_ came from LoadOptions
    uint64_t data_start_ = 0;       // the text's first byte, after any byte order mark
    bool line_endings_ = true;
    bool ascii_bytes_ = false;
    std::unique_ptr<Mapping> mapping_;
    std::vector<uint8_t> owned_;
    LineIndex starts_;
    // The legacy code page as it was at load time; one thread at a time
    // uses it unless it decodes by table.
    std::unique_ptr<LegacyDecoder> legacy_;
    mutable std::mutex legacy_mutex_;
    mutable std::atomic<bool> file_changed_{false};
    // Every line of starts_ is complete (its end is known): the load is done.
    std::atomic<bool> indexed_all_{false};
    // Held shared by IndexedLineText, exclusively while the lines are let go.
    mutable std::shared_mutex release_mutex_;
    std::unique_ptr<FollowState> follow_;  // null until a file is loaded
};

// Writes a new text file at path (the locale's encoding, CR LF breaks)
// through writeLines, which writes the lines with the stream's WriteLine and
// returns false on failure. The file replaces an existing one only when it
// was written completely; a symbolic link at path is followed and the old
// file's permissions are kept. error receives why it failed.
bool WriteTextFileReplacing(const std::string& path,
                            const std::function<bool(TextFileStream&)>& writeLines,
                            std::string& error);

// The message for a read that failed with status.
const char* ReadStatusText(ReadStatus status);

// Data of at least this many bytes is read on two threads; 0 restores the
// default. For tests, which check that both ways give the same lines.
void SetParallelLoadThresholdForTesting(uint64_t bytes);

}  // namespace linesift
