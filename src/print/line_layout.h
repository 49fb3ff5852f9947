// The printer-independent rules of the line printer: page geometry in the
// chosen unit, margin limits, line advance, tab expansion, the longest prefix
// that fits a width, word wrapping, table formats and macros. Plain C++, so
// they are checked without a printer.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lumora::print {

enum class TMeasureUnit { muInches, muMillimeters };
enum class TLineSpacing { lsHalfSpace, lsSingleSpace, lsSingleAndAHalf, lsDoubleSpace };
enum class TPrintAlignment { taLeftJustify, taRightJustify, taCenter };

inline constexpr double kMillimetresPerInch = 25.4;

// `value` in `unit` as inches, and back.
double ToInches(double value, TMeasureUnit unit);
double FromInches(double inches, TMeasureUnit unit);

// What a printer tells about its paper, in inches, and its resolution.
struct PaperInfo {
    double physicalWidth = 0;
    double physicalHeight = 0;
    double printableWidth = 0;
    double printableHeight = 0;
    double offsetLeft = 0;  // the printable origin from the paper edges
    double offsetTop = 0;
    int dpiX = 0;
    int dpiY = 0;
};

// The paper assumed without a printer: 8.5 x 11 in (210 x 297 mm), printable
// 8 x 10.5 in (198 x 284 mm) from 0.25 in (6 mm), 300 pixels per inch.
PaperInfo FallbackPaper(TMeasureUnit unit);

// Margins in the printer's measure unit.
struct Margins {
    double top = 0;
    double bottom = 0;
    double left = 0;
    double right = 0;
};

// The smallest margins the paper allows, in `unit`.
Margins MinimumMargins(const PaperInfo& paper, TMeasureUnit unit);

// Raises each margin to its minimum and lowers it so that it stays inside the
// paper with the opposite minimum margin.
Margins ClampMargins(const Margins& wanted, const PaperInfo& paper, TMeasureUnit unit);

// The text area in device pixels; left and top are measured from the
// printable origin, right and bottom from the printable area's far edges.
struct TextArea {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width = 0;
    int height = 0;
};

TextArea ComputeTextArea(const PaperInfo& paper, const Margins& margins, TMeasureUnit unit);

// `value` in `unit` as device pixels at `dpi`, rounded to the nearest pixel
// (0 when that leaves the int range).
int ToPixels(double value, TMeasureUnit unit, int dpi);

// The line advance for a base line height.
int LineAdvance(int baseHeight, TLineSpacing spacing);

// Expands each tab to blanks up to the next multiple of `tabSize` characters.
std::u16string ExpandTabs(std::u16string_view text, int tabSize);

// The length of the longest prefix of a `length`-character text whose width
// (`widthOf(n)` for the first n characters) is at most `space`; at least 1
// for a non-empty text. Found by bisection.
std::size_t LongestFittingPrefix(std::size_t length, int space,
                                 const std::function<int(std::size_t)>& widthOf);

// One piece of a wrapped line: `keep` characters printed, `consume`
// characters removed from the text (keep plus a blank eaten at the break).
struct WrapPiece {
    std::size_t keep = 0;
    std::size_t consume = 0;
};

// Where a line breaks when its first `fit` characters fit: after the blank or
// control character that follows them, else after their last blank or control
// character, else after `fit`.
WrapPiece WrapAt(std::u16string_view text, std::size_t fit);

struct ColumnSpec {
    TPrintAlignment alignment = TPrintAlignment::taLeftJustify;
    double width = 0;  // in the printer's measure unit
};

// Splits a table format ("<1.5|>2|^|3") into its columns; a missing or
// unreadable width is `defaultWidth`.
std::vector<ColumnSpec> ParseTableFormat(std::string_view format, double defaultWidth);

// Splits a table line into its cells at "|".
std::vector<std::u16string> SplitCells(std::u16string_view line);

struct MacroValues {
    int line = 0;
    int page = 0;
    std::u16string date;
    std::u16string time;
    std::u16string title;
};

// Replaces {$LINE}, {$PAGE}, {$DATE}, {$TIME} and {$TITLE}; a macro whose own
// replacement holds it is left in place.
std::u16string ExpandMacros(std::u16string text, const MacroValues& values);

}  // namespace lumora::print
