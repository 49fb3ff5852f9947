// The ZIP records the reader uses (end of central directory, central
// directory entry, local header), read from a file with every field checked
// against the bytes that really arrived. Zip64 values replace the 32-bit
// fields that hold 0xFFFFFFFF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint32_t kZipLocalSig = 0x04034B50u;
inline constexpr std::uint32_t kZipLocalSig250 = 0x50000000u;
inline constexpr std::uint32_t kZipCentralSig = 0x02014B50u;
inline constexpr std::uint32_t kZipEndSig = 0x06054B50u;
inline constexpr std::size_t kZipCentralSize = 46;
inline constexpr std::size_t kZipLocalSize = 30;

struct ZipEndRecord {
    std::uint64_t position = 0;   // file offset of the record
    std::uint64_t dirSize = 0;    // size of the central directory
    std::uint64_t dirOffset = 0;  // offset of the central directory as stored
    // Where the central directory would start if it ends right before the
    // end record (or its Zip64 form).
    std::uint64_t dirEndsAt = 0;
};

// Searches the last 32 KB of the file for the end record (the first hit from
// the end). A Zip64 end record named by a locator right before it supplies
// the 64-bit directory size and offset.
std::optional<ZipEndRecord> FindZipEndRecord(const InputFile& file);

struct ZipCentralRecord {
    std::uint32_t signature = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t time = 0;
    std::uint16_t date = 0;
    std::uint32_t crc = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t unpackedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    std::uint32_t externalAttrs = 0;
    std::uint64_t localOffset = 0;

    std::uint32_t DosDateTime() const { return (std::uint32_t{date} << 16) | time; }
};

// Parses the fixed 46 bytes (the signature is only recorded).
ZipCentralRecord ParseZipCentral(const std::uint8_t* b);
// Takes the 64-bit sizes and offset from a Zip64 extra field, if present.
void ApplyZip64Extra(ZipCentralRecord& r, const std::string& extra);

struct ZipLocalHeader {
    std::uint32_t signature = 0;
    std::uint16_t flags = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t crc = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;

    std::uint16_t Time() const { return static_cast<std::uint16_t>(dosDateTime & 0xFFFF); }
};

ZipLocalHeader ParseZipLocal(const std::uint8_t* b);

}  // namespace lumora::archive
