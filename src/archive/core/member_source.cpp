#include "archive/core/member_source.h"

#include <algorithm>

namespace lumora::archive {

namespace {

constexpr std::size_t kChunk = 32768;

}  // namespace

MemberByteSource::MemberByteSource(const InputFile& file, std::uint64_t offset, std::uint64_t count,
                                   ProgressMeter& progress, bool everyChange)
    : file_(file),
      pos_(offset),
      total_(count),
      end_(count),
      progress_(progress),
      everyChange_(everyChange) {}

std::size_t MemberByteSource::Read(std::uint8_t* dst, std::size_t n) {
    const std::uint64_t remaining = end_ - consumed_;
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>({n, remaining, kChunk}));
    if (want == 0) return 0;
    const std::size_t got = file_.ReadAt(pos_, dst, want);
    if (got < want) end_ = consumed_ + got;  // a short read ends the data
    pos_ += got;
    consumed_ += got;
    progress_.Test(total_, consumed_, everyChange_);
    return got;
}

}  // namespace lumora::archive
