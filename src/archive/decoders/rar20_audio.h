// The adaptive predictor of RAR 2.0's audio mode: each channel predicts its
// next sample from the last ones with five weights it retunes every 32
// samples, and the stream carries the difference.
#pragma once

#include <array>
#include <cstdint>

namespace lumora::archive {

class RarAudioChannel {
public:
    // The sample for one coded difference; `crossDelta` is the last delta of
    // whichever channel ran before (shared by all channels, updated here).
    std::uint8_t Decode(std::uint8_t code, int& crossDelta);

private:
    void Retune();

    std::array<int, 5> weight_{};  // for the last four deltas and the cross delta
    std::array<int, 4> delta_{};   // the deltas of the last samples, newest first
    int lastDelta_ = 0;
    int lastSample_ = 0;
    std::array<std::uint32_t, 11> error_{};  // summed errors of each weight candidate
    std::uint32_t count_ = 0;
};

}  // namespace lumora::archive
