// Decompression of one ZIP member: the member's data (decrypted on the fly
// when the member is encrypted), a table from method code to decoder, and the
// error behaviour per method.
#pragma once

#include <cstdint>
#include <optional>

#include "archive/core/awk_main.h"
#include "archive/core/member_output.h"
#include "archive/core/member_source.h"
#include "archive/formats/zip/zip_crypto.h"

namespace lumora::archive {

struct ZipMemberData {
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint64_t packedSize = 0;    // input bytes, the encryption header excluded
    std::uint64_t unpackedSize = 0;  // output bytes the method is to produce
};

// Decodes one member from `in` (decrypted with `keys` when given) into `out`
// and flushes it. Data errors end the member where it got to: Deflate and
// Deflate64 silently, every other method (and an unknown one, 25200) with an
// information message box through `messageBox`. Only output I/O errors
// leave. Returns true when the output was cut at its byte limit.
bool DecompressMember(const ZipMemberData& member, MemberByteSource& in,
                      std::optional<ZipCryptoKeys> keys, MemberOutput& out,
                      const TOnMessageBox& messageBox);

// The caption of the library's information boxes.
inline constexpr const char* kInfoCaption = "Hinweis";

}  // namespace lumora::archive
