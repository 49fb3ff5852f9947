// Decompression of one ZIP member: the byte reader over the member's data
// (decrypting on the fly when the member is encrypted), a table from method
// code to decoder, and the error behaviour per method.
#pragma once

#include <cstdint>
#include <optional>

#include "archive/core/awk_main.h"
#include "archive/core/input_file.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
#include "archive/formats/zip/zip_crypto.h"

namespace lumora::archive {

struct ZipMemberData {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint64_t packedSize = 0;    // input bytes, the encryption header excluded
    std::uint64_t unpackedSize = 0;  // output bytes the method is to produce
};

// The compressed bytes of one member, at most `count` from `offset`;
// decrypted when keys are given. Each read runs the progress test over the
// bytes consumed.
class ZipByteReader final : public ByteSource {
public:
    ZipByteReader(const InputFile& file, std::uint64_t offset, std::uint64_t count,
                  std::optional<ZipCryptoKeys> keys, ProgressMeter& progress, bool everyChange);

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
    std::optional<ZipCryptoKeys> keys_;
    ProgressMeter& progress_;
    bool everyChange_;
};

// Decodes one member into `out` and flushes it. Data errors end the member
// where it got to: Deflate silently, every other method (and an unknown one,
// 25200) with an information message box through `messageBox`. Only output
// I/O errors leave. Returns true when the output was cut at its byte limit.
bool DecompressMember(const ZipMemberData& member, ZipByteReader& in, MemberOutput& out,
                      const TOnMessageBox& messageBox);

// The caption of the library's information boxes.
inline constexpr const char* kInfoCaption = "Hinweis";

}  // namespace lumora::archive
