// The output side of one member: a 32 KB buffer that, whenever full and when
// the member ends, hands its bytes to the output file and the CRC-32. It also
// enforces the per-member byte limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/crc.h"
#include "archive/decoders/decoder_io.h"
#include "archive/output_writer.h"

namespace lumora::archive {

// Thrown by MemberOutput::Write when the member has reached its byte limit;
// the decompression driver ends the member there.
struct OutputLimitReached {};

class MemberOutput final : public OutputSink {
public:
    static constexpr std::size_t kBufferSize = 32768;

    // `file` may be null (output counted and checked, not written);
    // `limit` 0 means no limit.
    MemberOutput(OutputFile* file, std::uint64_t limit);

    void Write(const std::uint8_t* data, std::size_t n) override;
    // Hands what the buffer holds to the file and the CRC.
    void Flush();

    std::uint64_t Total() const { return total_; }
    bool LimitReached() const { return limitReached_; }
    std::uint32_t Crc() const { return crc_.Value(); }

private:
    void Emit(const std::uint8_t* data, std::size_t n);

    OutputFile* file_;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    bool limitReached_ = false;
    Crc32 crc_;
    std::vector<std::uint8_t> buffer_;
};

}  // namespace lumora::archive
