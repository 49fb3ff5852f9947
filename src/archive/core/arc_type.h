// The archive types that detection tells apart. The ordinal is what callers
// switch on, so the order is fixed.
#pragma once

#include <cstdint>
#include <string_view>

namespace lumora::archive {

enum TArcType : std::uint8_t {
    atNA,           // no file name, or a signature not accepted at that position
    atUnsupported,  // never assigned by detection
    atFileError,    // cannot be opened, or shorter than 6 bytes
    atUnknown,      // opened, nothing recognised
    atARC,
    atArcExe,
    atARJ,
    atArjExe,
    atBH,
    atBHExe,
    atCAB,
    atGZip,
    atHA,
    atLHA,
    atLhaExe,
    atLZH,     // never assigned by detection
    atLzhExe,  // never assigned by detection
    atPAK,
    atPakExe,
    atRAR,
    atRarExe,
    atTAR,
    atZIP,
    atZipExe,
    atZip250,
    atZip250Exe,
    atZOO,
};

inline constexpr int kArcTypeCount = atZOO + 1;

// "atZIP", "atArjExe", ...; "?" for a value outside the enumeration.
std::string_view ArcTypeName(TArcType type);

// One of the four ZIP kinds (plain, in an executable, 00 00 00 50 variant).
bool IsZipType(TArcType type);

}  // namespace lumora::archive
