#pragma once

#include <zlib.h>

#include <stdexcept>
#include <string>

namespace linesift::test {

// text compressed in the gzip format at the given level (0 stores it).
inline std::string Gzip(const std::string& text, int level = 6) {
    z_stream s{};
    if (deflateInit2(&s, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw std::runtime_error("deflateInit2");
    }
    std::string out(deflateBound(&s, text.size()), '\0');
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    s.avail_in = static_cast<uInt>(text.size());
    s.next_out = reinterpret_cast<Bytef*>(out.data());
    s.avail_out = static_cast<uInt>(out.size());
    if (deflate(&s, Z_FINISH) != Z_STREAM_END) {
        throw std::runtime_error("deflate");
    }
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

}  // namespace linesift::test
