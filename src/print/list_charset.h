// The character sets a list file may be written in: Windows-1252 (the
// default) or an MS-DOS code page (lists written with the MS-DOS set, and
// DOS art in descriptions).
#pragma once

#include <string>
#include <string_view>

namespace lumora::print {

enum class ListCharset { Windows, Dos850, Dos437 };

// The bytes of a list as UTF-8 text. The MS-DOS code pages show their upper
// half as the letters, box-drawing and block characters of a DOS screen; the
// lower half is ASCII, so tabs and line ends stay what they are.
std::string DecodeListText(std::string_view bytes, ListCharset charset);

}  // namespace lumora::print
