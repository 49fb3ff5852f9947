// The byte source of one member's stored data, as every reader hands it to
// its decoder: at most `count` bytes of the archive from `offset`, with the
// progress test run over the bytes consumed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/core/input_file.h"
#include "archive/core/progress.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

class MemberByteSource final : public ByteSource {
public:
    // `everyChange` runs the progress test on every percent change instead
    // of the meter's steps (the stored method reports that way).
    MemberByteSource(const InputFile& file, std::uint64_t offset, std::uint64_t count,
                     ProgressMeter& progress, bool everyChange);

    // Gives at most 32 KB a call; a short read of the file ends the data.
    std::size_t Read(std::uint8_t* dst, std::size_t n) override;

    std::uint64_t Total() const { return total_; }
    std::uint64_t Consumed() const { return consumed_; }
    ProgressMeter& Progress() { return progress_; }

private:
    const InputFile& file_;
    std::uint64_t pos_;
    std::uint64_t total_;
    std::uint64_t end_;
    std::uint64_t consumed_ = 0;
    ProgressMeter& progress_;
    bool everyChange_;
};

}  // namespace lumora::archive
