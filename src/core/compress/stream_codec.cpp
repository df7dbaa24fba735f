#include "compress/stream_codec.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>
#include <zstd_errors.h>

#include <algorithm>
#include <climits>
#include <string>

namespace linesift {
namespace {

// The libraries count in unsigned int; our windows are far smaller, but clamp.
unsigned int ClampToUint(size_t n) {
    return static_cast<unsigned int>(std::min<size_t>(n, UINT_MAX));
}

std::string MebibytesText(uint64_t bytes) {
    return std::to_string((bytes + (1 << 20) - 1) >> 20) + " MiB";
}

class GzipCodec final : public StreamCodec {
  public:
    bool Start() { return inflateInit2(&stream_, 15 + 16) == Z_OK; }  // 16: gzip framing only
    ~GzipCodec() override { inflateEnd(&stream_); }

    Step Decode(Buffers& b) override {
        stream_.next_in = const_cast<Bytef*>(b.in);  // zlib does not write the input
        stream_.avail_in = ClampToUint(b.in_size);
        stream_.next_out = b.out;
        stream_.avail_out = ClampToUint(b.out_size);
        int rc = inflate(&stream_, Z_NO_FLUSH);
        size_t used_in = static_cast<size_t>(stream_.next_in - b.in);
        size_t used_out = static_cast<size_t>(stream_.next_out - b.out);
        b.in += used_in;
        b.in_size -= used_in;
        b.out += used_out;
        b.out_size -= used_out;
        switch (rc) {
            case Z_OK:
            case Z_BUF_ERROR:
                return Step::Progress;
            case Z_STREAM_END:
                return Step::StreamEnd;
            default:
                detail_ = stream_.msg != nullptr ? stream_.msg : "";
                return Step::Corrupt;
        }
    }

    bool Restart() override { return inflateReset(&stream_) == Z_OK; }

  private:
    z_stream stream_{};
};

class Bzip2Codec final : public StreamCodec {
  public:
    bool Start() {
        stream_ = bz_stream{};
        started_ = BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK;
        return started_;
    }
    ~Bzip2Codec() override { Stop(); }

    Step Decode(Buffers& b) override {
        stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(b.in));
        stream_.avail_in = ClampToUint(b.in_size);
        stream_.next_out = reinterpret_cast<char*>(b.out);
        stream_.avail_out = ClampToUint(b.out_size);
        int rc = BZ2_bzDecompress(&stream_);
        size_t used_in = static_cast<size_t>(stream_.next_in - reinterpret_cast<const char*>(b.in));
        size_t used_out = static_cast<size_t>(stream_.next_out - reinterpret_cast<char*>(b.out));
        b.in += used_in;
        b.in_size -= used_in;
        b.out += used_out;
        b.out_size -= used_out;
        switch (rc) {
            case BZ_OK:
                return Step::Progress;
            case BZ_STREAM_END:
                return Step::StreamEnd;
            case BZ_DATA_ERROR_MAGIC:
                detail_ = "not a bzip2 stream";
                return Step::Corrupt;
            case BZ_MEM_ERROR:
                detail_ = "out of memory";
                return Step::TooLarge;
            default:
                detail_ = "invalid data";
                return Step::Corrupt;
        }
    }

    bool Restart() override {
        Stop();
        return Start();
    }

  private:
    void Stop() {
        if (started_) {
            BZ2_bzDecompressEnd(&stream_);
            started_ = false;
        }
    }

    bz_stream stream_{};
    bool started_ = false;
};

class XzCodec final : public StreamCodec {
  public:
    bool Start() { return lzma_stream_decoder(&stream_, kMemoryLimit, 0) == LZMA_OK; }
    ~XzCodec() override { lzma_end(&stream_); }

    Step Decode(Buffers& b) override {
        stream_.next_in = b.in;
        stream_.avail_in = b.in_size;
        stream_.next_out = b.out;
        stream_.avail_out = b.out_size;
        lzma_ret rc = lzma_code(&stream_, LZMA_RUN);
        size_t used_in = static_cast<size_t>(stream_.next_in - b.in);
        size_t used_out = static_cast<size_t>(stream_.next_out - b.out);
        b.in += used_in;
        b.in_size -= used_in;
        b.out += used_out;
        b.out_size -= used_out;
        switch (rc) {
            case LZMA_OK:
            case LZMA_BUF_ERROR:
            case LZMA_NO_CHECK:
            case LZMA_UNSUPPORTED_CHECK:
            case LZMA_GET_CHECK:
                return Step::Progress;
            case LZMA_STREAM_END:
                return Step::StreamEnd;
            case LZMA_MEMLIMIT_ERROR:
                detail_ = MebibytesText(lzma_memusage(&stream_)) + " needed";
                return Step::TooLarge;
            case LZMA_MEM_ERROR:
                detail_ = "out of memory";
                return Step::TooLarge;
            case LZMA_OPTIONS_ERROR:
                detail_ = "unsupported options";
                return Step::Corrupt;
            default:
                detail_ = "invalid data";
                return Step::Corrupt;
        }
    }

    bool Restart() override { return Start(); }  // liblzma reuses the stream's memory

  private:
    lzma_stream stream_ = LZMA_STREAM_INIT;
};

class ZstdCodec final : public StreamCodec {
  public:
    bool Start() {
        context_ = ZSTD_createDCtx();
        if (context_ == nullptr) {
            return false;
        }
        // 2^30 bytes: the window as large as kMemoryLimit, no larger.
        ZSTD_DCtx_setParameter(context_, ZSTD_d_windowLogMax, 30);
        return true;
    }
    ~ZstdCodec() override { ZSTD_freeDCtx(context_); }

    Step Decode(Buffers& b) override {
        ZSTD_inBuffer in{b.in, b.in_size, 0};
        ZSTD_outBuffer out{b.out, b.out_size, 0};
        size_t rc = ZSTD_decompressStream(context_, &out, &in);
        b.in += in.pos;
        b.in_size -= in.pos;
        b.out += out.pos;
        b.out_size -= out.pos;
        if (ZSTD_isError(rc)) {
            detail_ = ZSTD_getErrorName(rc);
            return ZSTD_getErrorCode(rc) == ZSTD_error_frameParameter_windowTooLarge
                       ? Step::TooLarge
                       : Step::Corrupt;
        }
        // 0: the frame is decoded, its checksum (if any) verified and all output flushed.
        return rc == 0 ? Step::StreamEnd : Step::Progress;
    }

    bool Restart() override {
        return !ZSTD_isError(ZSTD_DCtx_reset(context_, ZSTD_reset_session_only));
    }

  private:
    ZSTD_DCtx* context_ = nullptr;
};

template <typename Codec>
std::unique_ptr<StreamCodec> Started() {
    auto codec = std::make_unique<Codec>();
    if (!codec->Start()) {
        return nullptr;
    }
    return codec;
}

}  // namespace

std::unique_ptr<StreamCodec> StreamCodec::Create(Compression compression) {
    switch (compression) {
        case Compression::Gzip:
            return Started<GzipCodec>();
        case Compression::Bzip2:
            return Started<Bzip2Codec>();
        case Compression::Xz:
            return Started<XzCodec>();
        case Compression::Zstd:
            return Started<ZstdCodec>();
        case Compression::None:
            break;
    }
    return nullptr;
}

}  // namespace linesift
