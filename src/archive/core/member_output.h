// The output side of one member: a 64 KiB buffer that, whenever full and when
// the member ends, hands its bytes to the output file and the CRC-32. It also
// enforces the per-member byte limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/core/crc.h"
#include "archive/core/output_writer.h"
#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Which checksum a member's output feeds.
enum class CrcKind { None, Crc16, Crc32 };

// Thrown by MemberOutput::Write when the member has reached its byte limit;
// the decompression driver ends the member there.
struct OutputLimitReached {};

class MemberOutput final : public OutputSink {
public:
    static constexpr std::size_t kBufferSize = 65536;

    // `file` may be null (output counted and checked, not written);
    // `limit` 0 means no limit. A CRC-16 starts from `crc16Start`.
    MemberOutput(OutputFile* file, std::uint64_t limit, CrcKind kind = CrcKind::Crc32,
                 std::uint16_t crc16Start = 0);

    void Write(const std::uint8_t* data, std::size_t n) override;
    // Hands what the buffer holds to the file and the CRC.
    void Flush();

    std::uint64_t Total() const { return total_; }
    bool LimitReached() const { return limitReached_; }
    // The finished CRC-32 (complemented register).
    std::uint32_t Crc() const { return crc_.Value(); }
    std::uint16_t Crc16Value() const { return crc16_.Value(); }

private:
    void Emit(const std::uint8_t* data, std::size_t n);

    OutputFile* file_;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    bool limitReached_ = false;
    CrcKind kind_;
    Crc32 crc_;
    Crc16 crc16_;
    // Grows with what is written, up to kBufferSize: a short member (a
    // description) takes no more room than it needs.
    std::vector<std::uint8_t> buffer_;
};

}  // namespace lumora::archive
