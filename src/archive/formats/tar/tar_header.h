// One 512-byte TAR header block as the reader and the lister use it, and the
// long names that GNU long-name and pax records give the member after them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/core/field_reader.h"

namespace lumora::archive {

inline constexpr std::size_t kTarBlock = 512;
// Long-name and pax record data read at most (longer names are cut).
inline constexpr std::size_t kTarMaxLongName = 65536;

struct TarHeader {
    // Bytes 0-99 up to the first zero byte, without blanks and control
    // characters at either end; "/" as stored.
    std::string name;
    // The ustar prefix (bytes 345-499) placed before the name, when the
    // block carries the ustar magic.
    std::string prefix;
    char type = '\0';
    std::uint64_t size = 0;      // octal text at 124, or base-256
    std::uint64_t unixTime = 0;  // octal text at 136
    bool hasTime = false;        // the time field holds an octal digit
    std::uint32_t checksum = 0;  // octal text at 148

    bool IsDirectory() const { return type == '5'; }
    // Plain files (and hard links, which carry no data of their own).
    bool IsFile() const { return type == '\0' || type == '0' || type == '1' || type == '7'; }
    // GNU long-name ("L") and pax ("x") records name the member after them.
    bool IsLongName() const { return type == 'L' || type == 'x'; }
    // Long link names and global pax records leave a pending long name alone.
    bool KeepsLongName() const { return type == 'K' || type == 'g'; }
    // Links, devices, folders and FIFOs carry no data whatever their size says;
    // long-name and pax records, labels and the rest are followed by theirs.
    bool HasData() const { return type < '2' || type > '6'; }
    // The data rounded up to whole blocks (saturating).
    std::uint64_t PaddedSize() const;
};

// The header block `block` (kTarBlock bytes, fewer at the end of the file):
// Ok; End when its name is empty (the end blocks); Bad when it is cut short.
HeaderResult ParseTarHeader(std::string_view block, TarHeader& h);

// The name a long-name record's data gives: a GNU record's text up to its
// zero byte, or the "path" of pax records ("LEN key=value\n").
std::string TarLongName(char type, std::string_view data);

// The member's whole stored name: the pending long name, else the ustar
// prefix and the name.
std::string TarMemberName(const TarHeader& h, const std::string& longName);

// A stored name without its leading "\" or drive ("C:" or "C:\").
std::string_view WithoutRoot(std::string_view name);

}  // namespace lumora::archive
