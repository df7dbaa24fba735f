#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "document/encoding_choice.h"

namespace linesift {

class LegacyDecoder;

// Splits bytes that arrive piece by piece (a file being appended to) into
// lines, with the loader's rules: LF, CR LF and a lone CR end a line, and the
// text is decoded in the file's encoding. However the bytes are cut into
// pieces (a CR LF, a UTF-16 unit or a UTF-8 sequence split between two), the
// lines are those of reading all the bytes at once. A line is given only once
// its line break has arrived, or by Finish.
class LineSplitter {
  public:
    using LineVisitor = std::function<void(std::u16string_view line)>;

    // encoding: a TextEncoding. codePage: with Ansi, the ICU converter's
    // name (empty: the legacy code page). marked: the first piece starts with
    // the encoding's byte order mark, which is skipped (always so for Utf8Bom).
    explicit LineSplitter(int32_t encoding, const std::string& codePage = {}, bool marked = true);
    ~LineSplitter();
    LineSplitter(const LineSplitter&) = delete;
    LineSplitter& operator=(const LineSplitter&) = delete;

    // Takes the next n bytes and calls visit with each line they complete.
    void Append(const uint8_t* bytes, size_t n, const LineVisitor& visit);
    // Gives the unfinished last line, if it has any bytes, as a line of its
    // own: the data has ended.
    void Finish(const LineVisitor& visit);
    // Bytes held for a line whose break has not arrived.
    size_t PendingBytes() const { return pending_.size(); }

  private:
    void Emit(const uint8_t* p, size_t n, const LineVisitor& visit);

    int32_t encoding_;
    size_t bom_left_;       // bytes of the byte order mark still to skip
    bool skip_lf_ = false;  // a CR ended the last line: a LF right after belongs to it
    std::vector<uint8_t> pending_;
    std::u16string text_;
    std::unique_ptr<LegacyDecoder> legacy_;
};

// The encoding of a file that starts with head [0, n), or -1 (Detect) while
// too little has arrived to tell: a byte order mark may still be arriving,
// or no line is complete yet (and fewer than 64 KiB are there). final: no more
// bytes will come, so whatever is there decides.
int32_t DetectFollowedEncoding(const uint8_t* head, size_t n, bool final);

// The encoding to read a file in that starts with head [0, n) when the user
// chose one, as a loaded file is read: UTF-8 that starts with its byte order
// mark is Utf8Bom; marked tells whether the file starts with the chosen
// encoding's mark. -1 (Detect) while a mark may still be arriving and final
// is false.
int32_t ChosenFollowedEncoding(const EncodingChoice& choice, const uint8_t* head, size_t n,
                               bool final, bool& marked);

}  // namespace linesift
