#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "document/file_time.h"
#include "document/line_store.h"
#include "document/text_encoding.h"

namespace linesift {

class TextFileStream;

// The one open document: its lines, the file it came from, whether it has
// changes that are in no file, and the file's modification time.
// Documents are never edited in place: they are loaded, imported, reset.
class TextDocument {
  public:
    TextDocument() = default;
    TextDocument(const TextDocument&) = delete;
    TextDocument& operator=(const TextDocument&) = delete;
    // A document loaded elsewhere (on another thread) takes this one's place.
    TextDocument(TextDocument&&) = default;
    TextDocument& operator=(TextDocument&&) = default;

    // Replaces the document by the lines of the file at path (read-only; the
    // file is never changed). On failure the document is empty, not modified,
    // without path, and LastError() says why.
    bool LoadFromFile(const std::u16string& path);
    // Replaces the document by the clipboard's text, named "Clipboard" and
    // modified. False when the clipboard has no text.
    bool LoadFromClipboard();
    // Writes the lines to path (or the document's path when path is empty) in
    // the locale's encoding with CR LF breaks. The file is replaced only once
    // it was written completely; on failure it is untouched.
    bool SaveToFile(const std::u16string& path);

    void Reset();
    void ClearLines();
    bool IsEmpty() const { return lines_.empty(); }

    const std::u16string& GetPath() const { return path_; }
    void SetPath(const std::u16string& path) { path_ = path; }
    // The file name (after the last '/'), or "Untitled" without a path.
    std::u16string GetTitle() const;
    bool IsModified() const { return modified_; }
    // True when the document's file has a modification time other than the
    // one it had when it was loaded or saved.
    bool HasChangedOnDisk() const;
    // True for a document that came from the clipboard (whatever its path says).
    bool IsImported() const { return imported_; }

    size_t LineCount() const { return lines_.size(); }
    DocumentLine& Line(size_t index) { return lines_[index]; }
    const DocumentLine& Line(size_t index) const { return lines_[index]; }
    const LineStore& Lines() const { return lines_; }

    // Called now and then during a load on the loading thread with the bytes
    // read so far and the total, so a caller can show progress; null for none.
    using ProgressHandler = std::function<void(uint64_t done, uint64_t total)>;
    void SetProgressHandler(ProgressHandler handler) { progress_ = std::move(handler); }

    // Why the last load or save failed, for messages outside the desktop
    // program; empty after a success.
    const std::string& LastError() const { return last_error_; }

  private:
    bool LoadLines(const std::string& path);
    bool Fail(std::string why);

    bool modified_ = false;
    bool imported_ = false;
    FileTimeStamp last_write_time_;
    std::u16string path_;
    LineStore lines_;
    TextArena arena_;
    std::string last_error_;
    ProgressHandler progress_;
};

// Writes a new text file at path (the locale's encoding, CR LF breaks)
// through writeLines, which writes the lines with the stream's WriteLine and
// returns false on failure. The file replaces an existing one only when it
// was written completely; a symbolic link at path is followed and the old
// file's permissions are kept. error receives why it failed.
bool WriteTextFileReplacing(const std::string& path,
                            const std::function<bool(TextFileStream&)>& writeLines,
                            std::string& error);

// Data of at least this many bytes is read on two threads; 0 restores the
// default. For tests, which check that both ways give the same lines.
void SetParallelLoadThresholdForTesting(uint64_t bytes);

// The path as the system's file functions take it (UTF-8).
std::string ToNativePath(std::u16string_view path);
std::u16string FromNativePath(std::string_view path);

}  // namespace linesift
