#include "archive/decoders/arc_rle.h"

#include <cstring>

namespace lumora::archive {

namespace {
constexpr std::uint8_t kMarker = 0x90;
}

// Plain stretches up to the next marker go on in one piece.
void ArcRleSink::Write(const std::uint8_t* data, std::size_t n) {
    const std::uint8_t* const end = data + n;
    while (data < end) {
        if (marker_) {
            marker_ = false;
            const std::uint8_t count = *data++;
            if (count == 0)
                out_.Put(kMarker);
            else
                out_.Repeat(last_, count - 1u);
            continue;
        }
        const auto* marker = static_cast<const std::uint8_t*>(
            std::memchr(data, kMarker, static_cast<std::size_t>(end - data)));
        const std::uint8_t* const stop = marker ? marker : end;
        if (stop > data) {
            out_.Write(data, static_cast<std::size_t>(stop - data));
            last_ = stop[-1];
        }
        data = stop;
        if (marker) {
            marker_ = true;
            ++data;
        }
    }
}

}  // namespace lumora::archive
