// The two filter definitions in ProgramDir: "filter.cfg" (the special
// characters as a 16 x 16 table of "0" marked / "1" unmarked) and
// "filter2.cfg" (the line filter's strings, one a line).
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "settings/app_settings.h"

namespace lumora {

inline constexpr const char* kSpecialCharFilterFile = "filter.cfg";
inline constexpr const char* kLineFilterFile = "filter2.cfg";
inline constexpr const char* kInvalidFilterCaption = "Fehler";
// Windows-1252.
inline constexpr const char* kInvalidFilterText =
    "Die Konfigurations-Datei ist ung\xFCltig und wird nun gel\xF6scht !";

// Shows an error message box (caption, text; Windows-1252).
using ErrorMessageFn = std::function<void(const std::string& caption, const std::string& text)>;

// Rebuilds SpecialCharSet and SpecialCharMarks from programDir + "filter.cfg".
// The set is emptied first; without the file the marks stay as they are.
// A file of fewer than 16 lines is reported through `showError` and deleted.
// A row line shorter than 16 characters marks nothing and keeps its marks.
void LoadSpecialCharFilter(Configuration& config, const std::string& programDir,
                           const ErrorMessageFn& showError);

// The text of filter.cfg for `marks`: 16 rows, an empty line and two
// comment lines, each ended by CR LF.
std::string SpecialCharFilterText(const CharSet& marks);
// Writes SpecialCharMarks to programDir + "filter.cfg", replacing it;
// false (and the reason) when it cannot be written.
bool SaveSpecialCharFilter(const Configuration& config, const std::string& programDir,
                           std::string* error = nullptr);

// The lines of programDir + "filter2.cfg" (taken exactly, blanks included);
// nothing when the file is missing or cannot be read.
std::optional<std::vector<std::string>> ReadLineFilterFile(const std::string& programDir);
// Replaces LineFilterList with the lines of programDir + "filter2.cfg"
// (taken exactly, blanks included) when that file exists; otherwise the
// list keeps what it holds.
void LoadLineFilter(Configuration& config, const std::string& programDir);

// The text of filter2.cfg for `lines`: each string as it stands, ended by
// CR LF.
std::string LineFilterText(const std::vector<std::string>& lines);
// Writes `lines` in their order to programDir + "filter2.cfg", replacing it
// atomically; false (and the reason) when it cannot be written.
bool SaveLineFilter(const std::vector<std::string>& lines, const std::string& programDir,
                    std::string* error = nullptr);

// The line-filter dialog keeps its strings in alphabetical order: the
// case-insensitive Windows-1252 order, raw bytes deciding between equals.
void SortLineFilter(std::vector<std::string>& lines);
// Where `entry` goes in a list sorted that way (after any equal string).
std::size_t LineFilterInsertPosition(const std::vector<std::string>& sorted,
                                     const std::string& entry);

}  // namespace lumora
