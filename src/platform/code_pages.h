// The character sets lists and descriptions come in: Windows-1252, the
// MS-DOS code pages 850 and 437, and UTF-8; conversion through Unicode and
// the choice of code page for a description of unknown origin.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lumora {

enum class CodePage { Windows1252, Cp850, Cp437, Utf8 };

// Bytes in `page` as UTF-8. The MS-DOS pages show their upper half as the
// letters, box-drawing and block characters of a DOS screen; the lower half
// is ASCII. Of UTF-8 input, bytes that are no well-formed sequence become
// '?'.
std::string DecodeCodePage(std::string_view bytes, CodePage page);
// UTF-8 text in `page`; characters the page lacks (and malformed bytes)
// become '?'.
std::string EncodeCodePage(std::string_view utf8, CodePage page);

// Characters (code points) of UTF-8 text; a stray byte counts as one.
std::size_t Utf8Length(std::string_view utf8);
// The first `count` characters of UTF-8 text.
std::string_view Utf8Prefix(std::string_view utf8, std::size_t count);

// The code page a description was most likely written in: UTF-8 when the
// lines are valid UTF-8 with at least one multi-byte sequence; otherwise
// Windows-1252 when its umlauts between letters outweigh the MS-DOS signs
// (box and block bytes, MS-DOS umlauts between letters), else 437.
CodePage GuessDescriptionCodePage(const std::vector<std::string>& lines);

}  // namespace lumora
