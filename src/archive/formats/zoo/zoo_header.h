// ZOO headers: the archive header with the position of the first directory
// entry, and the 51-byte directory entries chained by their next pointers.
// The lister's walk and the reader both read them here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/core/field_reader.h"
#include "archive/core/input_file.h"

namespace lumora::archive {

inline constexpr std::size_t kZooArchiveHeaderSize = 34;
inline constexpr std::size_t kZooEntrySize = 51;

struct ZooArchiveHeader {
    std::uint32_t firstEntry = 0;
    bool cut = false;  // fewer than 34 bytes in the file
};

// Bad when the header is cut short (`cut`) or the stored negation of the
// first entry's position does not match it.
HeaderResult ReadZooArchiveHeader(const InputFile& in, ZooArchiveHeader& h);

struct ZooEntry {
    std::uint8_t type = 0;
    std::uint8_t method = 0;  // 0 stored, 1 LZW, 2 LZH
    std::uint32_t next = 0;   // the next entry's position; 0 in the entry that ends the chain
    std::uint32_t dataOffset = 0;
    std::uint32_t dosDateTime = 0;
    std::uint16_t crc = 0;  // CRC-16 of the original data
    std::uint32_t originalSize = 0;
    std::uint32_t packedSize = 0;
    bool deleted = false;
    std::string name;  // the 8.3 name, up to its zero byte
};

// The entry at the reader's position. Ok for a member, End for the entry
// that ends the chain; Bad for an entry cut short, a wrong tag, or a
// member whose data reaches beyond `fileSize`.
HeaderResult ParseZooEntry(FieldReader& r, std::uint64_t fileSize, ZooEntry& e);
// The same for the entry at `pos` of `in`.
HeaderResult ReadZooEntry(const InputFile& in, std::uint64_t pos, ZooEntry& e);

}  // namespace lumora::archive
