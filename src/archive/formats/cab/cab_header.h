// The headers of a cabinet file: the cabinet header with its reserve fields
// and the names of the neighbouring cabinets, the folder entries, the file
// entries and the data block header. Every field is checked against the bytes
// that really arrived; counts only bound how far the reading goes. The lister
// and the reader both read through these functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::uint16_t kCabFlagPrev = 0x0001;
inline constexpr std::uint16_t kCabFlagNext = 0x0002;
inline constexpr std::uint16_t kCabFlagReserve = 0x0004;

// Folder indexes of files that span cabinets.
inline constexpr std::uint16_t kCabFromPrev = 0xFFFD;
inline constexpr std::uint16_t kCabToNext = 0xFFFE;
inline constexpr std::uint16_t kCabPrevAndNext = 0xFFFF;

// File attribute: the name is stored in UTF-8.
inline constexpr std::uint16_t kCabNameIsUtf8 = 0x80;

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
    // Windows-1252 bytes: a name flagged UTF-8 is converted, characters
    // without a Windows-1252 code becoming '?'.
    std::string name;

    std::uint32_t DosDateTime() const { return std::uint32_t{date} << 16 | time; }
};

struct Cabinet {
    std::uint16_t flags = 0;
    std::uint16_t setId = 0;
    std::uint8_t folderReserve = 0;
    std::uint8_t dataReserve = 0;
    std::uint32_t filesOffset = 0;        // of the first file entry
    std::uint16_t fileCount = 0;          // as the header counts them
    std::string nextName;                 // as stored; empty without a next cabinet
    std::string nextDisk = "0";           // "0" without a next cabinet
    std::vector<CabFolderEntry> folders;  // as many as the header counts and arrive
    std::vector<CabFileEntry> files;      // filled by ReadCabinet only
    bool listCut = false;                 // the file list ended before its count

    bool HasNext() const { return (flags & kCabFlagNext) != 0; }
    // Its first folder continues the last folder of the previous cabinet.
    bool ContinuesPrevious() const;
    // Its last folder goes on in the next cabinet.
    bool ContinuesToNext() const;
    // The folder a file entry's data lies in; -1 for an index that names none.
    int FolderOf(const CabFileEntry& f) const;
};

// The cabinet header at the start of the file, its reserve fields and
// cabinet names, and the folder entries that arrive (a cabinet cut inside
// them, or counting none, has fewer or none). End: the file ends inside the
// fixed header or the reserve fields; Bad: not "MSCF", or a cabinet name
// without its zero byte within 256 bytes.
HeaderResult ReadCabHeader(const InputFile& in, Cabinet& cab);

// The file entry at `at`; `next` gets the position after it. End: the file
// ends before the entry's fixed fields and one byte of its name; Bad: the name
// has no zero byte within 256 bytes.
HeaderResult ReadCabFileEntry(const InputFile& in, std::uint64_t at, CabFileEntry& f,
                              std::uint64_t& next);

// ReadCabHeader, then the file list from its offset: as many entries as the
// header counts, up to the first that is cut short or damaged (listCut).
HeaderResult ReadCabinet(const InputFile& in, Cabinet& cab);

struct CabBlockHeader {
    std::uint16_t packed = 0;    // compressed bytes that follow the header
    std::uint16_t unpacked = 0;  // 0 in a block that goes on in the next cabinet
};

// Size of a data block header including the per-block reserve.
inline std::size_t CabBlockHeaderSize(const Cabinet& cab) {
    return 8 + std::size_t{cab.dataReserve};
}

// The data block header at `at`; Bad when it does not arrive whole.
HeaderResult ReadCabBlockHeader(const InputFile& in, std::uint64_t at, const Cabinet& cab,
                                CabBlockHeader& block);

}  // namespace lumora::archive
