// The tips of the tip-of-the-day window: the file "tips.dat" in ProgramDir,
// one tip a line.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <vector>

namespace lumora {

inline constexpr const char* kTipsFileName = "tips.dat";
inline constexpr const char* kNoTipsText = "Die Tips konnten nicht gefunden werden...";

// The non-blank lines of programDir + "tips.dat" as UTF-8: the file may be
// Windows-1252 (as shipped) or UTF-8 (as a Linux editor writes it). A
// missing or unreadable file gives no tips.
std::vector<std::string> LoadTips(const std::string& programDir);

// One of the tips, each with the same chance; none when the list is empty.
std::optional<std::string> PickTip(const std::vector<std::string>& tips, std::mt19937& random);

// True when the bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& bytes);

}  // namespace lumora
