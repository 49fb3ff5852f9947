// zlib's raw Deflate (no header, 32 KiB window) of a byte string, for the
// benchmarks' test data and the instruction-count probe.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace lumora::bench {

using Bytes = std::vector<std::uint8_t>;

inline Bytes RawDeflate(const std::uint8_t* data, std::size_t size, int level) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, size));
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    out.resize(out.size() - z.avail_out);
    return out;
}

inline Bytes RawDeflate(const Bytes& data, int level) {
    return RawDeflate(data.data(), data.size(), level);
}

}  // namespace lumora::bench
