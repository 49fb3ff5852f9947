// Small shared routines of the readers and the lister.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lumora::archive {

// Octal digits of `text`; every other character (spaces, zero bytes) is
// skipped and does not end the number.
std::uint64_t ParseOctal(std::string_view text);

// Increases `counter` (decimal text) and gives the next volume's name: the
// folder and the name up to its first "." of `archiveName`, then ".A01" ..
// ".A99", ".100" .. ".999"; empty from 1000 on.
std::string NextVolumeName(const std::string& archiveName, std::string& counter);

// Percent saved, 0..100: 0 when either size is 0 or nothing was saved; at
// least 1 when something was saved.
std::uint8_t CompressionRatio(std::uint64_t packed, std::uint64_t unpacked);

}  // namespace lumora::archive
