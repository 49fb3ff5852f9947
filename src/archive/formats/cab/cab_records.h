// The records of a cabinet file: the header with its reserve fields and the
// names of the neighbouring cabinets, the folder entries and the file list,
// and the data block header. Every field is checked against the bytes that
// really arrived; counts only bound how far the reading goes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint16_t kCabFlagPrev = 0x0001;
inline constexpr std::uint16_t kCabFlagNext = 0x0002;
inline constexpr std::uint16_t kCabFlagReserve = 0x0004;

// Folder indexes of files that span cabinets.
inline constexpr std::uint16_t kCabFromPrev = 0xFFFD;
inline constexpr std::uint16_t kCabToNext = 0xFFFE;
inline constexpr std::uint16_t kCabPrevAndNext = 0xFFFF;

inline constexpr std::uint16_t kCabStored = 0;
inline constexpr std::uint16_t kCabMsZip = 1;

struct CabFolderEntry {
    std::uint32_t dataOffset = 0;  // first data block in this cabinet file
    std::uint16_t blockCount = 0;
    std::uint16_t type = 0;  // the whole 16-bit value (LZX and Quantum carry parameters)
};

struct CabFileEntry {
    std::uint32_t size = 0;
    std::uint32_t offset = 0;  // of the first byte in its folder's data
    std::uint16_t folder = 0;
    std::uint16_t date = 0;
    std::uint16_t time = 0;
    std::uint16_t attrs = 0;
    std::string name;  // as stored (Windows-1252 bytes)

    std::uint32_t DosDateTime() const { return std::uint32_t{date} << 16 | time; }
};

struct Cabinet {
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::string nextName;        // as stored; empty without a next cabinet
    std::string nextDisk = "0";  // "0" without a next cabinet
    std::vector<CabFolderEntry> folders;
    std::vector<CabFileEntry> files;
    bool listCut = false;  // the file list ended before its count

    bool HasNext() const { return (flags & kCabFlagNext) != 0; }
    // Its first folder continues the last folder of the previous cabinet.
    bool ContinuesPrevious() const;
    // Its last folder goes on in the next cabinet.
    bool ContinuesToNext() const;
    // The folder a file entry's data lies in; -1 for an index that names none.
    int FolderOf(const CabFileEntry& f) const;
};

enum class CabReadStatus {
    kOk,
    kShort,         // the header ends early, or not one folder entry arrives
    kBadSignature,  // not "MSCF"
    kBadHeader,     // a cabinet name without its end within 256 bytes
};

// Reads the header, the folder entries and the file list of the cabinet file.
CabReadStatus ReadCabinet(const InputFile& in, Cabinet& cab);

struct CabBlockHeader {
    std::uint16_t packed = 0;    // compressed bytes that follow the header
    std::uint16_t unpacked = 0;  // 0 in a block that goes on in the next cabinet
};

// Size of a data block header including the per-block reserve.
inline std::size_t CabBlockHeaderSize(const Cabinet& cab) {
    return 8 + std::size_t{cab.dataReserve};
}

}  // namespace lumora::archive
