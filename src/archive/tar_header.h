// One 512-byte TAR header block as the reader uses it: the stored name, the
// type flag, the size of the data that follows and the modification time.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::archive {

inline constexpr std::size_t kTarBlock = 512;

struct TarHeader {
    // Bytes 0-99 up to the first zero byte, without blanks and control
    // characters at either end, "/" turned into "\".
    std::string name;
    char type = '\0';
    std::uint64_t size = 0;      // octal text at 124
    std::uint64_t unixTime = 0;  // octal text at 136

    bool IsDirectory() const { return type == '5'; }
    // Plain files (and hard links, which carry no data of their own).
    bool IsFile() const { return type == '\0' || type == '0' || type == '1' || type == '7'; }
    // Links, devices, folders and FIFOs carry no data whatever their size says;
    // long-name and pax records, labels and the rest are followed by theirs.
    bool HasData() const { return type < '2' || type > '6'; }
};

TarHeader ParseTarHeader(const std::uint8_t* block);

// A stored name without its leading "\" or drive ("C:" or "C:\").
std::string_view WithoutRoot(std::string_view name);

}  // namespace lumora::archive
