// Cleaning a description's lines before they are laid out: the line filter,
// the special-character filter and the empty-line filter, each switched on
// in the settings.
#pragma once

#include <string>
#include <vector>

#include "settings/app_settings.h"

namespace lumora {

// Runs the three stages in their fixed order, each on what the previous one
// left: line filter (UseFilter), special characters (Remove), empty lines
// (RemoveEmpty). Changes `lines` in place and returns it. Characters are the
// bytes as they stand in the description file.
std::vector<std::string>& FilterDescription(std::vector<std::string>& lines,
                                            const Configuration& config);

// The single stages, for callers that need one of them alone.
void ApplyLineFilter(std::vector<std::string>& lines, const std::vector<std::string>& filters,
                     int mode, bool respectCase);
void ApplySpecialCharFilter(std::vector<std::string>& lines, const CharSet& special,
                            bool removeChar, bool removeLine);
void RemoveEmptyLines(std::vector<std::string>& lines);

}  // namespace lumora
