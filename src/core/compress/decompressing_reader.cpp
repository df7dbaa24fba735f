#include "compress/decompressing_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "compress/stream_codec.h"

namespace linesift {

std::string GroupedNumber(uint64_t n) {
    std::string digits = std::to_string(n);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            grouped += ',';
        }
        grouped += digits[i];
    }
    return grouped;
}

DecompressingReader::DecompressingReader(int fd, size_t input_buffer_size)
    : fd_(fd), in_(input_buffer_size) {
    struct stat st {};
    input_is_regular_ = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
}

DecompressingReader::~DecompressingReader() = default;

// Reads more input after what is left in the buffer; false at the end of the
// input or on a read error (then done_ is set).
bool DecompressingReader::Refill() {
    if (at_eof_) {
        return false;
    }
    if (in_pos_ > 0) {
        std::memmove(in_.data(), in_.data() + in_pos_, in_end_ - in_pos_);
        in_end_ -= in_pos_;
        in_pos_ = 0;
    }
    for (;;) {
        ssize_t got = ::read(fd_, in_.data() + in_end_, in_.size() - in_end_);
        if (got > 0) {
            in_end_ += static_cast<size_t>(got);
            bytes_read_ += static_cast<uint64_t>(got);
            return true;
        }
        if (got == 0) {
            at_eof_ = true;
            return false;
        }
        if (errno != EINTR) {
            Fail(DecompressError::ReadFailed, std::strerror(errno));
            return false;
        }
    }
}

bool DecompressingReader::Start() {
    started_ = true;
    while (in_end_ < kCompressionHeadSize && Refill()) {
    }
    if (done_) {
        return false;
    }
    format_ = DetectCompression(in_.data(), in_end_);
    if (format_ != Compression::None) {
        codec_ = StreamCodec::Create(format_);
        if (codec_ == nullptr) {
            Fail(DecompressError::TooLarge, "out of memory");
            return false;
        }
    }
    return true;
}

size_t DecompressingReader::Fail(DecompressError error, const std::string& detail) {
    done_ = true;
    error_ = error;
    const std::string name = CompressionName(format_);
    const std::string after = GroupedNumber(text_bytes_) + " bytes of text";
    const std::string why = detail.empty() ? "" : " (" + detail + ")";
    switch (error) {
        case DecompressError::Corrupt:
            error_text_ = "The " + name + " data is corrupt after " + after + why + ".";
            break;
        case DecompressError::Truncated:
            error_text_ =
                "The " + name + " data ends early, after " + after + ": the file is incomplete.";
            break;
        case DecompressError::TooLarge:
            error_text_ = "The " + name + " data cannot be decompressed after " + after +
                          ": it needs more memory than allowed" + why + ".";
            break;
        case DecompressError::ReadFailed:
            error_text_ = "Could not read the compressed data after " + after + why + ".";
            break;
        case DecompressError::WriteFailed:
            error_text_ = "Could not store the text after " + after + why + ".";
            break;
        case DecompressError::Cancelled:
            error_text_ = "Decompression was cancelled.";
            break;
        case DecompressError::None:
            error_text_.clear();
            break;
    }
    return 0;
}

size_t DecompressingReader::Read(uint8_t* out, size_t capacity) {
    if (done_ || capacity == 0 || (!started_ && !Start())) {
        return 0;
    }
    return format_ == Compression::None ? PassThrough(out, capacity) : Decode(out, capacity);
}

size_t DecompressingReader::PassThrough(uint8_t* out, size_t capacity) {
    if (in_pos_ == in_end_ && !Refill()) {
        done_ = true;
        return 0;
    }
    size_t n = std::min(capacity, in_end_ - in_pos_);
    std::memcpy(out, in_.data() + in_pos_, n);
    in_pos_ += n;
    text_bytes_ += n;
    return n;
}

// Skips NUL padding after a stream and restarts the codec when another stream
// follows; false at the end of the input (or on an error, with done_ set).
bool DecompressingReader::AfterStreamEnd() {
    for (;;) {
        while (in_pos_ < in_end_ && in_[in_pos_] == 0) {
            ++in_pos_;
        }
        if (in_pos_ < in_end_) {
            if (!codec_->Restart()) {
                Fail(DecompressError::TooLarge, "out of memory");
                return false;
            }
            return true;
        }
        if (!Refill()) {
            done_ = true;
            return false;
        }
    }
}

size_t DecompressingReader::Decode(uint8_t* out, size_t capacity) {
    StreamCodec::Buffers b{.out = out, .out_size = capacity};
    while (b.out_size > 0 && !done_) {
        if (in_pos_ == in_end_) {
            // On a pipe, hand over what is decoded rather than wait for more input.
            if (b.out_size < capacity && !input_is_regular_) {
                break;
            }
            Refill();
            if (done_) {
                break;
            }
        }
        b.in = in_.data() + in_pos_;
        b.in_size = in_end_ - in_pos_;
        const size_t out_before = b.out_size;
        const StreamCodec::Step step = codec_->Decode(b);
        const bool moved = b.in_size != in_end_ - in_pos_ || b.out_size != out_before;
        in_pos_ = in_end_ - b.in_size;
        text_bytes_ += out_before - b.out_size;
        if (step == StreamCodec::Step::StreamEnd) {
            AfterStreamEnd();
        } else if (step == StreamCodec::Step::Corrupt) {
            Fail(DecompressError::Corrupt, codec_->Detail());
        } else if (step == StreamCodec::Step::TooLarge) {
            Fail(DecompressError::TooLarge, codec_->Detail());
        } else if (!moved) {
            // The codec needs more input: read it, or the data ends inside a stream.
            if (in_end_ - in_pos_ == in_.size()) {
                Fail(DecompressError::Corrupt, "no progress");
            } else if (!Refill() && !done_) {
                Fail(DecompressError::Truncated, "");
            }
        }
    }
    return capacity - b.out_size;
}

}  // namespace linesift
