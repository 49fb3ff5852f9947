#include "archive/decoders/rar20_audio.h"

#include <cstdlib>

namespace lumora::archive {

std::uint8_t RarAudioChannel::Decode(std::uint8_t code, int& crossDelta) {
    ++count_;
    delta_[3] = delta_[2];
    delta_[2] = delta_[1];
    delta_[1] = lastDelta_ - delta_[0];
    delta_[0] = lastDelta_;
    int predicted = 8 * lastSample_ + weight_[4] * crossDelta;
    for (int i = 0; i < 4; ++i) predicted += weight_[i] * delta_[i];
    predicted = (predicted >> 3) & 0xFF;
    const unsigned sample = static_cast<unsigned>(predicted - code);

    // How far off each weight, nudged up or down, would have been.
    const int d = static_cast<int>(static_cast<std::int8_t>(code)) * 8;
    error_[0] += static_cast<std::uint32_t>(std::abs(d));
    for (int i = 0; i < 4; ++i) {
        error_[1 + 2 * i] += static_cast<std::uint32_t>(std::abs(d - delta_[i]));
        error_[2 + 2 * i] += static_cast<std::uint32_t>(std::abs(d + delta_[i]));
    }
    error_[9] += static_cast<std::uint32_t>(std::abs(d - crossDelta));
    error_[10] += static_cast<std::uint32_t>(std::abs(d + crossDelta));

    lastDelta_ = static_cast<std::int8_t>(sample - static_cast<unsigned>(lastSample_));
    crossDelta = lastDelta_;
    lastSample_ = static_cast<int>(sample & 0xFF);
    if ((count_ & 0x1F) == 0) Retune();
    return static_cast<std::uint8_t>(sample);
}

void RarAudioChannel::Retune() {
    unsigned best = 0;
    for (unsigned i = 1; i < error_.size(); ++i) {
        if (error_[i] < error_[best]) best = i;
    }
    error_.fill(0);
    if (best == 0) return;
    // Odd candidates lower a weight, even ones raise it, within -17..16.
    int& w = weight_[(best - 1) / 2];
    if (best % 2 == 1) {
        if (w >= -16) --w;
    } else if (w < 16) {
        ++w;
    }
}

}  // namespace lumora::archive
