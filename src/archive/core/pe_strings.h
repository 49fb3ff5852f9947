// Reads the first entries of an executable's string table (resource type
// RT_STRING) straight from the PE file, every offset checked against what
// was read. Self-extractors publish the offset of their archive there.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "archive/core/input_file.h"

namespace lumora::archive {

// Strings 1 to 4 of the first language of string block 1, each cut to at
// most 5 characters (characters outside ASCII become "?"); a missing string
// is empty. nullopt when the file has no readable PE resource section.
std::optional<std::array<std::string, 4>> ReadPeStrings(const InputFile& file);

}  // namespace lumora::archive
