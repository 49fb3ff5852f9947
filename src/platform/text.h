// Byte strings in the Windows-1252 ("ANSI") set, conversions to and from the
// host's UTF-8 file names, the MS-DOS code page 850 ("OEM") table, case
// folding, ordering and line splitting of text files.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora {

// UTF-8 to Windows-1252; characters without a Windows-1252 code (and
// malformed UTF-8 bytes) become '?'.
std::string Utf8ToAnsi(std::string_view utf8);
// Windows-1252 to UTF-8; the five undefined codes map to U+0081 etc.
std::string AnsiToUtf8(std::string_view ansi);

// Windows-1252 to MS-DOS code page 850, one byte for one byte.
unsigned char AnsiToOem(unsigned char c);
std::string AnsiToOem(std::string_view ansi);
// MS-DOS code page 850 to Windows-1252 ('?' where there is no counterpart).
unsigned char OemToAnsi(unsigned char c);

// Upper case of the letters a to z only; every other byte stays.
std::string UpperAZ(std::string_view s);
// Upper case of a Windows-1252 letter (a-z, the accented letters, š, œ, ž, ÿ).
unsigned char AnsiUpper(unsigned char c);
std::string AnsiUpperCase(std::string_view s);

// Case-insensitive order of Windows-1252 texts (accented letters folded as
// upper/lower pairs), raw bytes as the tie-break; <0, 0, >0.
int AnsiCompareOrder(std::string_view a, std::string_view b);
// Case-insensitive equality of Windows-1252 texts.
bool AnsiSameText(std::string_view a, std::string_view b);

// Splits the bytes of a text file into lines: a line ends at CR, LF or CR LF;
// reading stops at the first zero byte; a last line without an end counts;
// no empty line is made for a final line end.
std::vector<std::string> SplitTextLines(std::string_view bytes);

}  // namespace lumora
