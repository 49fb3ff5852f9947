#include "archive/core/member_output.h"

#include <algorithm>

namespace lumora::archive {

MemberOutput::MemberOutput(OutputFile* file, std::uint64_t limit, CrcKind kind,
                           std::uint16_t crc16Start)
    : file_(file), limit_(limit), kind_(kind), crc16_(crc16Start) {}

void MemberOutput::Write(const std::uint8_t* data, std::size_t n) {
    if (limit_ != 0 && total_ + n > limit_) {
        n = static_cast<std::size_t>(limit_ - total_);
        limitReached_ = true;
    }
    total_ += n;
    while (n > 0) {
        if (buffer_.empty() && n >= kBufferSize) {
            // Whole blocks go straight through.
            const std::size_t whole = n - n % kBufferSize;
            Emit(data, whole);
            data += whole;
            n -= whole;
            continue;
        }
        const std::size_t take = std::min(n, kBufferSize - buffer_.size());
        buffer_.insert(buffer_.end(), data, data + take);
        data += take;
        n -= take;
        if (buffer_.size() == kBufferSize) Flush();
    }
    if (limitReached_) throw OutputLimitReached{};
}

void MemberOutput::Flush() {
    if (buffer_.empty()) return;
    Emit(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void MemberOutput::Emit(const std::uint8_t* data, std::size_t n) {
    if (file_ != nullptr) file_->Write(data, n);
    if (kind_ == CrcKind::Crc32) crc_.Update(data, n);
    if (kind_ == CrcKind::Crc16) crc16_.Update(data, n);
}

}  // namespace lumora::archive
