#include "compress/decompress_to_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "compress/cache_file.h"

namespace linesift {
namespace {

// Writes all of data; false with errno set on failure.
bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += done;
        size -= static_cast<size_t>(done);
    }
    return true;
}

uint64_t RegularFileSize(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        return 0;
    }
    return static_cast<uint64_t>(st.st_size);
}

bool IsCancelled(const DecompressOptions& options) {
    return options.cancel != nullptr && options.cancel->load(std::memory_order_relaxed);
}

}  // namespace

DecompressResult DecompressToCacheFile(int compressed_fd, const DecompressOptions& options) {
    DecompressResult result;
    const size_t chunk = options.chunk_size > 0 ? options.chunk_size : size_t{1} << 20;
    const std::string folder = options.folder.empty() ? GetCacheFolder() : options.folder;
    result.text = CreateUnnamedFile(folder, &result.error_text);
    if (!result.text.IsValid()) {
        result.error = DecompressError::WriteFailed;
        return result;
    }
    DecompressingReader reader(compressed_fd, chunk);
    std::unique_ptr<uint8_t[]> buffer(new uint8_t[chunk]);
    DecompressProgress progress{.compressed_total = RegularFileSize(compressed_fd),
                                .text_fd = result.text.Get()};
    for (;;) {
        if (IsCancelled(options)) {
            result.text.Reset();
            result.text_size = 0;
            result.format = reader.Format();
            result.error = DecompressError::Cancelled;
            result.error_text = "Decompression was cancelled.";
            return result;
        }
        const size_t got = reader.Read(buffer.get(), chunk);
        if (got == 0) {
            break;
        }
        if (!WriteAll(result.text.Get(), buffer.get(), got)) {
            result.error = DecompressError::WriteFailed;
            result.error_text = "Could not store the text in " + folder + " after " +
                                GroupedNumber(result.text_size) + " bytes (" +
                                std::strerror(errno) + ").";
            // Drop a partly written chunk, so the file holds text_size bytes.
            static_cast<void>(::ftruncate(result.text.Get(), static_cast<off_t>(result.text_size)));
            break;
        }
        result.text_size += got;
        if (options.on_progress) {
            progress.compressed_read = reader.BytesConsumed();
            progress.text_written = result.text_size;
            options.on_progress(progress);
        }
    }
    result.format = reader.Format();
    if (result.error == DecompressError::None) {
        result.error = reader.ErrorKind();
        result.error_text = reader.ErrorText();
    }
    return result;
}

}  // namespace linesift
