// The progress test of one operation: a percentage of Done in Total, reported
// through OnProgress when it changes and is a multiple of the step (or on
// every change when the caller asks for that).
#pragma once

#include <cstdint>

#include "archive/core/awk_main.h"

namespace lumora::archive {

class ProgressMeter {
public:
    ProgressMeter(TZipCommon& owner, TProgressNotify notify)
        : owner_(owner), step_(5 * (static_cast<int>(notify) + 1)) {}

    void Test(std::uint64_t total, std::uint64_t done, bool everyChange);
    int LastPercent() const { return last_; }

private:
    TZipCommon& owner_;
    int step_;
    int last_ = 0;
};

}  // namespace lumora::archive
