#include "archive/decoders/arc_rle.h"

namespace lumora::archive {

namespace {
constexpr std::uint8_t kMarker = 0x90;
}

void ArcRleSink::Write(const std::uint8_t* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = data[i];
        if (marker_) {
            marker_ = false;
            if (b == 0) {
                out_.Put(kMarker);
            } else {
                for (unsigned k = 1; k < b; ++k) out_.Put(last_);
            }
        } else if (b == kMarker) {
            marker_ = true;
        } else {
            last_ = b;
            out_.Put(b);
        }
    }
}

}  // namespace lumora::archive
