#include "platform/code_pages.h"

#include <array>
#include <cstdint>

#include "platform/text.h"

namespace lumora {

namespace {

// The upper halves (0x80 to 0xFF) of the two MS-DOS code pages.
// clang-format off
constexpr std::array<char16_t, 128> kCp850 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2, 0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x00A4,
    0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE, 0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580,
    0x00D3, 0x00DF, 0x00D4, 0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD, 0x00AF, 0x00B4,
    0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0, 0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0,
};
constexpr std::array<char16_t, 128> kCp437 = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

const std::array<char16_t, 128>& UpperHalf(CodePage page) {
    return page == CodePage::Cp850 ? kCp850 : kCp437;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Length of the well-formed UTF-8 sequence at `i` (1 to 4), 0 when the bytes
// there are no such sequence (overlong forms and surrogates included).
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t* code = nullptr) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        if (code) *code = b0;
        return 1;
    }
    std::size_t n = 0;
    char32_t c = 0;
    char32_t minimum = 0;
    if ((b0 & 0xE0) == 0xC0) {
        n = 2, c = b0 & 0x1F, minimum = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        n = 3, c = b0 & 0x0F, minimum = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        n = 4, c = b0 & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) return 0;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    if (code) *code = c;
    return n;
}

bool IsAsciiLetter(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A byte of `umlauts` inside a word: a letter or another such byte on both
// sides (or a word end after it), one neighbour at least an ASCII letter, so
// a run of line bytes that share codes with umlauts is no word.
bool IsUmlautInWord(std::string_view line, std::size_t i, std::string_view umlauts) {
    if (umlauts.find(line[i]) == std::string_view::npos) return false;
    auto ascii = [&](std::size_t k) {
        return k < line.size() && IsAsciiLetter(static_cast<unsigned char>(line[k]));
    };
    auto wordChar = [&](std::size_t k) {
        return ascii(k) || (k < line.size() && umlauts.find(line[k]) != std::string_view::npos);
    };
    const bool before = i > 0 && wordChar(i - 1);
    const bool wordEnd = i + 1 == line.size() || line[i + 1] == ' ';
    const bool after = wordChar(i + 1) || wordEnd;
    return before && after && ((i > 0 && ascii(i - 1)) || ascii(i + 1));
}

constexpr std::string_view kDosUmlauts = "\x81\x84\x94\x8E\x99\x9A\xE1";
constexpr std::string_view kWindowsUmlauts = "\xE4\xF6\xFC\xC4\xD6\xDC\xDF";

bool IsUtf8WithMultibyte(const std::vector<std::string>& lines) {
    bool multibyte = false;
    for (const auto& line : lines) {
        for (std::size_t i = 0; i < line.size();) {
            const std::size_t n = SequenceLength(line, i);
            if (n == 0) return false;
            multibyte = multibyte || n > 1;
            i += n;
        }
    }
    return multibyte;
}

}  // namespace

std::string DecodeCodePage(std::string_view bytes, CodePage page) {
    switch (page) {
        case CodePage::Utf8:
            return EncodeCodePage(bytes, CodePage::Utf8);
        case CodePage::Windows1252:
            return AnsiToUtf8(bytes);
        default:
            break;
    }
    const auto& upper = UpperHalf(page);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        AppendUtf8(out, c < 0x80 ? char32_t{c} : char32_t{upper[c - 0x80]});
    }
    return out;
}

std::string EncodeCodePage(std::string_view utf8, CodePage page) {
    if (page == CodePage::Windows1252) return Utf8ToAnsi(utf8);
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t c = 0;
        const std::size_t n = SequenceLength(utf8, i, &c);
        if (page == CodePage::Utf8) {
            // Well-formed sequences stay, a stray byte becomes '?'.
            out.append(n == 0 ? std::string_view("?") : utf8.substr(i, n));
            i += n == 0 ? 1 : n;
            continue;
        }
        i += n == 0 ? 1 : n;
        const auto& upper = UpperHalf(page);
        char byte = '?';
        if (n != 0 && c < 0x80) {
            byte = static_cast<char>(c);
        } else if (n != 0) {
            for (std::size_t k = 0; k < upper.size(); ++k) {
                if (upper[k] == c) byte = static_cast<char>(0x80 + k);
            }
        }
        out.push_back(byte);
    }
    return out;
}

std::size_t Utf8Length(std::string_view utf8) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++count) {
        const std::size_t n = SequenceLength(utf8, i);
        i += n == 0 ? 1 : n;
    }
    return count;
}

std::string_view Utf8Prefix(std::string_view utf8, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t k = 0; k < count && i < utf8.size(); ++k) {
        const std::size_t n = SequenceLength(utf8, i);
        i += n == 0 ? 1 : n;
    }
    return utf8.substr(0, i);
}

CodePage GuessDescriptionCodePage(const std::vector<std::string>& lines) {
    if (IsUtf8WithMultibyte(lines)) return CodePage::Utf8;
    int dos = 0;
    int windows = 0;
    for (const auto& line : lines) {
        int boxRun = 0;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line[i]);
            // Box and block bytes count when they come in runs, as drawings do.
            boxRun = c >= 0xB0 && c <= 0xDF ? boxRun + 1 : 0;
            if (boxRun >= 2) ++dos;
            if (IsUmlautInWord(line, i, kDosUmlauts)) dos += 2;
            if (IsUmlautInWord(line, i, kWindowsUmlauts)) windows += 2;
        }
    }
    return windows > dos ? CodePage::Windows1252 : CodePage::Cp437;
}

}  // namespace lumora
