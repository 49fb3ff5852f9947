// The options that steer list generation, and the data that lives beside
// them for the whole run: InfoFileList and SeparatorLine.
#pragma once

#include <bitset>
#include <string>
#include <vector>

namespace lumora {

enum class DisplayMode : int { FirstFull = 1, AllFull = 2, FirstLinesOnly = 3, LastFull = 4 };
enum class LineFilterMode : int { Contains = 0, ExactMatch = 1 };

struct AppSettings {
    // In-memory starting values; they matter only when nothing is loaded.
    bool Resume = false;
    bool OEM = false;
    bool Divide = false;
    bool RemoveEmpty = false;
    bool ShortName = false;
    bool Remove = true;
    bool RemoveChar = false;
    bool RemoveLine = false;
    bool UseFilter = false;
    bool Size = false;
    bool Tip = true;
    bool SourceDir = true;
    std::string DivisionChar;
    std::string DivisionCharHex;
    std::string DivisionCharInt;
    std::string Font1Name;
    int Align = 0;
    int Design = 0;
    int Font1Size = 0;
    int Width = 0;
    int Width2 = 0;
    int Space1 = 0;
    int Space2 = 0;
    int Space3 = 0;
    int Lines = 0;
    int Browser = 0;
    int Mode = 0;

    // The table defaults: what a missing or unreadable value reads as.
    static AppSettings Defaults();

    bool operator==(const AppSettings&) const = default;
};

// Brings the integers into the ranges the settings dialog allows, so a
// hand-edited or damaged store cannot yield a zero or negative width or a
// huge gap: Width 1..60, Width2 1..140, Space1-3 1..10, Lines 1..10000,
// Align 0 or 1 (non-zero is 1), Font1Size above 0 (else 8). Design, Mode and
// Browser stay as they are (the line filter has a rule for any other Mode).
void ClampToDialogRanges(AppSettings& s);

inline constexpr int kSeparatorLineLength = 140;

// A set over the 256 byte values; bit 16 * r + c stands for row r, column c
// of the filter dialog's table.
using CharSet = std::bitset<256>;

// The application's configuration object: owned by the front end and
// passed to whoever needs it (no process-wide copy).
struct Configuration {
    AppSettings settings = AppSettings::Defaults();
    std::vector<std::string> InfoFileList;
    std::string SeparatorLine = std::string(kSeparatorLineLength, ' ');
    // The special characters the description filter removes.
    CharSet SpecialCharSet;
    // The same as the 16 x 16 table of marks the filter dialog edits and
    // filter.cfg stores; a row that filter.cfg cannot describe keeps its
    // marks while the set loses them.
    CharSet SpecialCharMarks;
    // The line filter's strings, in the order of filter2.cfg.
    std::vector<std::string> LineFilterList;
};

// Fills SeparatorLine with the first character of DivisionChar; an empty
// DivisionChar leaves it as it is.
void FillSeparatorLine(Configuration& config);
// The first Width2 characters of SeparatorLine.
std::string SeparatorText(const Configuration& config);

}  // namespace lumora
