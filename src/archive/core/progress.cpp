#include "archive/core/progress.h"

#include <algorithm>

namespace lumora::archive {

void ProgressMeter::Test(std::uint64_t total, std::uint64_t done, bool everyChange) {
    if (total == 0 || done == 0) return;
    done = std::min(done, total);
    while (total > (std::uint64_t{1} << 56)) {  // keeps done * 100 in range
        total >>= 8;
        done >>= 8;
    }
    const auto percent = static_cast<int>(done * 100 / total);
    const int previous = last_;
    last_ = percent;
    if (percent != previous && (everyChange || percent % step_ == 0) && owner_.OnProgress) {
        owner_.OnProgress(owner_, owner_.FileName(), static_cast<std::uint8_t>(percent));
    }
}

}  // namespace lumora::archive
