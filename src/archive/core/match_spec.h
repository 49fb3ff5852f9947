// Matching of stored member names against a file pattern with "*" and
// "?" (both texts may hold wildcards), case-insensitive for Windows-1252
// letters.
#pragma once

#include <string_view>

namespace lumora::archive {

// With `namesOnly` both texts are reduced to their file-name part first.
// A text ending in "." loses that dot; a text without "." gets ".*" when the
// other holds ".*" (the name is adjusted first, then the pattern). The wildcard
// walk itself never re-applies these rules. Runs in time proportional to the
// product of the two lengths.
bool MatchSpec(std::string_view name, std::string_view spec, bool namesOnly);

// The wildcard walk alone, on texts already prepared.
bool MatchWalk(std::string_view name, std::string_view spec);

}  // namespace lumora::archive
