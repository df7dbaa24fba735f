#include "batch_input.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "compress/cache_file.h"
#include "compress/decompress_to_file.h"
#include "compress/decompressing_reader.h"
#include "document/text_document.h"

namespace linesift {
namespace {

// Loads the text held by the unnamed file text through its /proc path, so
// the lines are exactly those of the text as a file.
bool LoadText(const OwnedFd& text, TextDocument& document, std::string& error,
              const LoadOptions& options) {
    std::string path = "/proc/self/fd/" + std::to_string(text.Get());
    if (!document.LoadFromFile(FromNativePath(path), LoadOptions{.encoding = options.encoding})) {
        error = document.LastError();
        return false;
    }
    return true;
}

// An unnamed file for decoded text: in the cache folder, else in memory.
OwnedFd CreateTextFile(std::string& error) {
    OwnedFd fd = CreateUnnamedFile(GetCacheFolder(), &error);
    if (!fd.IsValid()) {
        fd = OwnedFd(::memfd_create("linesift-text", MFD_CLOEXEC));
    }
    return fd;
}

bool WriteAll(int fd, const uint8_t* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) {
            continue;
        }
        if (w <= 0) {
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Decodes a stream that cannot be looked at twice (standard input, a pipe)
// as it is read, into an unnamed file.
bool DecodeStream(int in, OwnedFd& text, std::string& error, std::string& incomplete) {
    text = CreateTextFile(error);
    if (!text.IsValid()) {
        return false;
    }
    DecompressingReader reader(in);
    std::vector<uint8_t> chunk(size_t{1} << 20);
    while (size_t n = reader.Read(chunk.data(), chunk.size())) {
        if (!WriteAll(text.Get(), chunk.data(), n)) {
            error = std::string("could not store the text: ") + std::strerror(errno);
            return false;
        }
    }
    incomplete = reader.ErrorText();
    return true;
}

// A regular file: compressed ones are decoded into an unnamed file, others
// load directly. Returns false when the file is not compressed (or cannot
// be opened), leaving the plain load to the caller.
bool DecodeCompressedFile(const std::string& file, OwnedFd& text, std::string& error,
                          std::string& incomplete, bool& failed) {
    OwnedFd in(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    uint8_t head[kCompressionHeadSize];
    ssize_t n = in.IsValid() ? ::pread(in.Get(), head, sizeof head, 0) : -1;
    if (n <= 0 || DetectCompression(head, static_cast<size_t>(n)) == Compression::None) {
        return false;
    }
    DecompressResult result = DecompressToCacheFile(in.Get());
    if (!result.text.IsValid()) {
        error = result.error_text;
        failed = true;
        return true;
    }
    text = std::move(result.text);
    incomplete = result.error_text;
    return true;
}

}  // namespace

bool LoadBatchInput(const std::string& file, TextDocument& document, std::string& error,
                    std::string& incomplete, LoadOptions options) {
    error.clear();
    incomplete.clear();
    struct stat st = {};
    bool isStdin = file == "/dev/stdin";
    bool known = ::stat(file.c_str(), &st) == 0;
    OwnedFd text;
    if (isStdin || (known && S_ISFIFO(st.st_mode))) {
        OwnedFd opened(isStdin ? -1 : ::open(file.c_str(), O_RDONLY | O_CLOEXEC));
        int in = isStdin ? STDIN_FILENO : opened.Get();
        if (in < 0) {
            error = std::strerror(errno);
            return false;
        }
        return DecodeStream(in, text, error, incomplete) &&
               LoadText(text, document, error, options);
    }
    if (known && S_ISREG(st.st_mode)) {
        bool failed = false;
        if (DecodeCompressedFile(file, text, error, incomplete, failed)) {
            return !failed && LoadText(text, document, error, options);
        }
    }
    // Like other line tools, the batch mode reads terminals and devices too.
    options.allow_streams = true;
    if (!document.LoadFromFile(FromNativePath(file), options)) {
        error = document.LastError();
        return false;
    }
    return true;
}

}  // namespace linesift
