#include "compress/decompress_to_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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

// Writes one chunk at a time to a file on a thread of its own, so that the
// next chunk is decoded meanwhile: storing the text costs the system about as
// much time as decoding it. Writes in place when no thread can be started.
class ChunkWriter {
  public:
    explicit ChunkWriter(int fd) : fd_(fd) {
        try {
            thread_ = std::thread([this] { Loop(); });
        } catch (const std::system_error&) {
        }
    }
    ~ChunkWriter() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // Begins writing data[0, size), which must stay unchanged until Wait.
    // Only one write runs at a time: Wait for the last one first.
    void Start(const uint8_t* data, size_t size) {
        if (!thread_.joinable()) {
            ok_ = WriteAll(fd_, data, size);
            error_ = errno;
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        data_ = data;
        size_ = size;
        busy_ = true;
        changed_.notify_all();
    }
    // Waits for the write Start began; false with error set when it failed.
    bool Wait(int& error) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return !busy_; });
        error = error_;
        return ok_;
    }

  private:
    void Loop() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return busy_ || stop_; });
            if (!busy_) {
                return;
            }
            lock.unlock();
            const bool ok = WriteAll(fd_, data_, size_);
            const int error = errno;
            lock.lock();
            ok_ = ok;
            error_ = error;
            busy_ = false;
            changed_.notify_all();
        }
    }
    const int fd_;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    bool busy_ = false;
    bool stop_ = false;
    bool ok_ = true;
    int error_ = 0;
};

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
    // Two buffers: one is decoded into while the other is written.
    std::unique_ptr<uint8_t[]> buffers[2] = {std::unique_ptr<uint8_t[]>(new uint8_t[chunk]),
                                             std::unique_ptr<uint8_t[]>(new uint8_t[chunk])};
    DecompressProgress progress{.compressed_total = RegularFileSize(compressed_fd),
                                .text_fd = result.text.Get()};
    ChunkWriter writer(result.text.Get());
    size_t writing = 0;       // the size of the chunk being written; 0 for none
    uint64_t writing_at = 0;  // the compressed bytes decoded up to its end
    for (int next = 0;; next ^= 1) {
        if (IsCancelled(options)) {
            int error = 0;
            if (writing > 0) {
                writer.Wait(error);  // the file goes: how its write ended does not matter
            }
            result.text.Reset();
            result.text_size = 0;
            result.format = reader.Format();
            result.error = DecompressError::Cancelled;
            result.error_text = "Decompression was cancelled.";
            return result;
        }
        const size_t got = reader.Read(buffers[next].get(), chunk);
        if (writing > 0) {
            int error = 0;
            if (!writer.Wait(error)) {
                result.error = DecompressError::WriteFailed;
                result.error_text = "Could not store the text in " + folder + " after " +
                                    GroupedNumber(result.text_size) + " bytes (" +
                                    std::strerror(error) + ").";
                // Drop a partly written chunk, so the file holds text_size bytes.
                static_cast<void>(
                    ::ftruncate(result.text.Get(), static_cast<off_t>(result.text_size)));
                break;
            }
            result.text_size += writing;
            if (options.on_progress) {
                progress.compressed_read = writing_at;
                progress.text_written = result.text_size;
                options.on_progress(progress);
            }
        }
        writing = got;
        if (got == 0) {
            break;
        }
        writing_at = reader.BytesConsumed();
        writer.Start(buffers[next].get(), got);
    }
    result.format = reader.Format();
    if (result.error == DecompressError::None) {
        result.error = reader.ErrorKind();
        result.error_text = reader.ErrorText();
    }
    return result;
}

}  // namespace linesift
