#include "archive/decoders/rar20_window.h"

#include <algorithm>
#include <cstring>

namespace lumora::archive {

namespace {

constexpr std::uint64_t kMinRing = std::uint64_t{1} << 17;
constexpr std::uint64_t kFlushStep = std::uint64_t{4} << 20;

std::uint64_t RoundUpPow2(std::uint64_t v) {
    std::uint64_t p = kMinRing;
    while (p < v && p < kRarMaxWindow) p <<= 1;
    return p;
}

}  // namespace

bool RarWindow::StartMember(OutputSink* out, const RarUnpackRequest& request) {
    if (dictionary_ > kRarMaxWindow) return false;
    if (!request.solid) pos_ = 0;
    flushed_ = pos_;
    start_ = pos_;
    const std::uint64_t room = UINT64_MAX - pos_;
    end_ = pos_ + std::min(request.unpackedSize, room);
    out_ = out;
    limit_ = request.maxOutput;
    written_ = 0;
    // History the member can reach: the dictionary, or less when the data so
    // far and this member are smaller.
    if (!Reserve(std::min<std::uint64_t>(end_, RoundUpPow2(dictionary_)))) return false;
    ScheduleFlush();
    return true;
}

bool RarWindow::Reserve(std::uint64_t bytes) {
    if (bytes > kRarMaxWindow) return false;
    const std::uint64_t size = RoundUpPow2(bytes);
    if (size <= buf_.size()) return true;
    std::vector<std::uint8_t> grown(size, 0);
    const std::uint64_t keep = std::min<std::uint64_t>(pos_, buf_.size());
    for (std::uint64_t p = pos_ - keep; p < pos_; ++p) grown[p & (size - 1)] = buf_[p & mask_];
    buf_.swap(grown);
    mask_ = size - 1;
    return true;
}

void RarWindow::Copy(std::uint64_t distance, std::uint64_t length) {
    length = std::min(length, end_ - pos_);
    std::uint64_t src = pos_ - distance;
    const std::uint64_t s = src & mask_;
    const std::uint64_t d = pos_ & mask_;
    if (s + length <= buf_.size() && d + length <= buf_.size()) {
        // Neither side wraps: a forward byte copy keeps overlapping matches
        // right; apart ones copy as a block.
        std::uint8_t* p = buf_.data();
        if (s + length <= d || d + length <= s) {
            std::memcpy(p + d, p + s, static_cast<std::size_t>(length));
        } else {
            for (std::uint64_t i = 0; i < length; ++i) p[d + i] = p[s + i];
        }
        pos_ += length;
        return;
    }
    for (std::uint64_t i = 0; i < length; ++i) buf_[pos_++ & mask_] = buf_[src++ & mask_];
}

bool RarWindow::EmitBytes(const std::uint8_t* data, std::size_t n) {
    flushed_ += n;
    if (out_ == nullptr) {
        written_ += n;
        return true;
    }
    std::size_t give = n;
    if (limit_ != 0) give = static_cast<std::size_t>(std::min<std::uint64_t>(n, limit_ - written_));
    if (give != 0) out_->Write(data, give);
    written_ += give;
    return !LimitReached();
}

bool RarWindow::Emit(std::uint64_t upTo) {
    upTo = std::min(upTo, pos_);
    while (flushed_ < upTo) {
        const std::uint64_t at = flushed_ & mask_;
        const std::uint64_t n = std::min(upTo - flushed_, buf_.size() - at);
        if (!EmitBytes(buf_.data() + at, static_cast<std::size_t>(n))) return false;
    }
    return !LimitReached();
}

void RarWindow::Extract(std::uint64_t from, std::size_t n, std::uint8_t* dst) const {
    for (std::size_t i = 0; i < n; ++i) dst[i] = buf_[(from + i) & mask_];
}

void RarWindow::ScheduleFlush(std::uint64_t blockedUntil) {
    const std::uint64_t step = std::min<std::uint64_t>(buf_.size() / 2, kFlushStep);
    nextFlush_ = std::max(flushed_ + step, blockedUntil);
}

RarUnpackResult RarFinish(const RarWindow& w, RarUnpackStatus why) {
    // The limit was reached exactly at the member's end: nothing more follows.
    if (why == RarUnpackStatus::kOutputLimit && w.Written() == w.MemberSize())
        why = RarUnpackStatus::kDone;
    return {why, w.Written()};
}

}  // namespace lumora::archive
