// The ZIP records the lister and the reader use (end of central directory,
// central directory entry, local header), read from a file with every field
// checked against the bytes that really arrived. Zip64 values replace the
// 32-bit fields that hold 0xFFFFFFFF. One locator finds the central directory
// for both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint32_t kZipLocalSig = 0x04034B50u;
inline constexpr std::uint32_t kZipLocalSig250 = 0x50000000u;
inline constexpr std::uint32_t kZipCentralSig = 0x02014B50u;
inline constexpr std::uint32_t kZipEndSig = 0x06054B50u;
inline constexpr std::size_t kZipCentralSize = 46;
inline constexpr std::size_t kZipLocalSize = 30;
inline constexpr std::size_t kZipEndSize = 22;
// General-purpose flag: the member's name and comment are stored in UTF-8.
inline constexpr std::uint16_t kZipNameIsUtf8 = 0x0800;

struct ZipEndRecord {
    std::uint64_t position = 0;       // file offset of the record
    std::uint64_t dirSize = 0;        // size of the central directory
    std::uint64_t dirOffset = 0;      // offset of the central directory as stored
    std::uint16_t commentLength = 0;  // the archive comment follows the record
    // Where the central directory would start if it ends right before the
    // end record (or its Zip64 form).
    std::uint64_t dirEndsAt = 0;
};

// Searches the last 32 KB of the file for the end record (the first hit from
// the end). A Zip64 end record named by a locator right before it supplies
// the 64-bit directory size and offset.
std::optional<ZipEndRecord> FindZipEndRecord(const InputFile& file);

// The offset the archive's own offsets count from when it follows a
// self-extractor stub: the stub's size when the archive starts right after it.
std::uint64_t ZipSfxBase(std::int64_t sfxOffset, std::int64_t archiveStart);

struct ZipDirectory {
    std::optional<ZipEndRecord> end;  // none when no end record was found
    std::uint64_t start = 0;          // file offset of the first central record
    std::uint64_t base = 0;           // added to every offset the archive stores
};

// Finds the central directory: at its stored offset plus `sfxBase`, or else
// right before the end record, which makes the stored offsets relative to
// where it really is (an archive appended to a stub without its offsets
// adjusted). Ok when a central record starts there; Bad without an end
// record (`dir.end` empty) or without a central record at either place.
HeaderResult LocateZipDirectory(const InputFile& file, std::uint64_t sfxBase, ZipDirectory& dir);

struct ZipCentralRecord {
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
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
    std::uint16_t internalAttrs = 0;
    std::uint32_t externalAttrs = 0;
    std::uint64_t localOffset = 0;

    std::uint32_t DosDateTime() const { return (std::uint32_t{date} << 16) | time; }
    // The name, extra field and comment that follow the fixed part.
    std::uint64_t VariableSize() const {
        return std::uint64_t{nameLength} + extraLength + commentLength;
    }
};

// The fixed 46 bytes of a central record in `r`: Ok; End when fewer than 4
// bytes arrived or the signature is not the central one (the directory
// ends there); Bad when the record is cut short.
HeaderResult ParseZipCentral(FieldReader& r, ZipCentralRecord& c);
// Takes the 64-bit sizes and offset from a Zip64 extra field, if present.
void ApplyZip64Extra(ZipCentralRecord& r, const std::string& extra);

// The member's name as Windows-1252 bytes, the form every stored name takes:
// converted from UTF-8 when `flags` say it is stored so, else taken from a
// Unicode path extra field (0x7075, version 1) that holds the CRC-32 of the
// stored name and so belongs to it; else the stored name as it is.
// Characters without a Windows-1252 code and malformed UTF-8 become '?'.
std::string ZipMemberName(const std::string& stored, std::uint16_t flags, const std::string& extra);
// The member's comment as Windows-1252 bytes (UTF-8 under the same flag).
std::string ZipMemberComment(const std::string& stored, std::uint16_t flags);

struct ZipLocalHeader {
    std::uint16_t flags = 0;
    std::uint32_t dosDateTime = 0;
    std::uint32_t crc = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;

    std::uint16_t Time() const { return static_cast<std::uint16_t>(dosDateTime & 0xFFFF); }
    // Where the member's data starts for a header at `at`.
    std::uint64_t DataAt(std::uint64_t at) const {
        return at + kZipLocalSize + nameLength + extraLength;
    }
};

// The local header at `at`: Ok; Bad when it is cut short or carries neither
// local signature.
HeaderResult ReadZipLocal(const InputFile& file, std::uint64_t at, ZipLocalHeader& h);

}  // namespace lumora::archive
