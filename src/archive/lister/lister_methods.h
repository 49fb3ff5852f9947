// The method names the lister shows, per archive family.
#pragma once

#include <cstdint>
#include <string>

namespace lumora::archive {

enum class MethodFamily { None, ARC, PAK, ARJ, BH, CAB, GZIP, HA, LHA, RAR, TAR, ZIP, ZOO };

// The name of `code` as the family stores it ("Unknown" for values not in
// the table). LHA codes are the method character ('0' .. '5'); ZIP Deflate
// is told apart by `zipFlags` bits 1 and 2.
std::string MethodName(MethodFamily family, std::uint16_t code, std::uint16_t zipFlags = 0);

}  // namespace lumora::archive
