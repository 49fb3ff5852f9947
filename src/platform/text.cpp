#include "platform/text.h"

#include <array>
#include <cstdint>

#include "platform/oem_table.h"

namespace lumora {
namespace {

static_assert(oem::kAnsiToOem[0xE4] == 0x84, "a-umlaut must become OEM 132");
static_assert(oem::kOemToAnsi[0x84] == 0xE4, "OEM 132 must become a-umlaut");

// Unicode code points of Windows-1252 codes 0x80 to 0x9F; the five codes the
// set leaves undefined stand for the C1 control with the same number.
constexpr std::array<char32_t, 32> kHighAnsi = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char kUnmappable = '?';

char32_t AnsiToCodePoint(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return kHighAnsi[c - 0x80];
    return c;
}

char CodePointToAnsi(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<char>(cp);
    for (std::size_t i = 0; i < kHighAnsi.size(); ++i) {
        if (kHighAnsi[i] == cp) return static_cast<char>(0x80 + i);
    }
    return kUnmappable;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `pos`. Returns the number of bytes used
// (at least 1) and sets `valid` to false for a malformed, overlong or
// surrogate sequence, which then counts as its first byte alone.
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t& cp, bool& valid) {
    const auto lead = static_cast<unsigned char>(s[pos]);
    valid = true;
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    struct Form {
        unsigned char mask, marker, bits;
        std::size_t length;
        char32_t minimum;
    };
    constexpr std::array<Form, 3> kForms = {{{0xE0, 0xC0, 0x1F, 2, 0x80},
                                             {0xF0, 0xE0, 0x0F, 3, 0x800},
                                             {0xF8, 0xF0, 0x07, 4, 0x10000}}};
    const Form* form = nullptr;
    for (const Form& f : kForms) {
        if ((lead & f.mask) == f.marker) form = &f;
    }
    if (form == nullptr) {
        valid = false;
        return 1;
    }
    const std::size_t length = form->length;
    const char32_t minimum = form->minimum;
    cp = lead & form->bits;
    if (s.size() - pos < length) {
        valid = false;
        return 1;
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(s[pos + i]);
        if ((next & 0xC0) != 0x80) {
            valid = false;
            return 1;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        valid = false;
        return 1;
    }
    return length;
}

// Where the run of ASCII bytes from `pos` ends: both conversions copy such
// runs whole.
std::size_t AsciiRunEnd(std::string_view s, std::size_t pos) {
    while (pos < s.size() && static_cast<unsigned char>(s[pos]) < 0x80) ++pos;
    return pos;
}

}  // namespace

std::string Utf8ToAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t ascii = AsciiRunEnd(utf8, pos);
        out.append(utf8.substr(pos, ascii - pos));
        if ((pos = ascii) == utf8.size()) break;
        char32_t cp = 0;
        bool valid = false;
        pos += DecodeUtf8(utf8, pos, cp, valid);
        out += valid ? CodePointToAnsi(cp) : kUnmappable;
    }
    return out;
}

std::string AnsiToUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size() * 2);
    for (std::size_t pos = 0; pos < ansi.size(); ++pos) {
        const std::size_t ascii = AsciiRunEnd(ansi, pos);
        out.append(ansi.substr(pos, ascii - pos));
        if ((pos = ascii) == ansi.size()) break;
        AppendUtf8(out, AnsiToCodePoint(static_cast<unsigned char>(ansi[pos])));
    }
    return out;
}

unsigned char AnsiToOem(unsigned char c) {
    return oem::kAnsiToOem[c];
}

std::string AnsiToOem(std::string_view ansi) {
    std::string out(ansi);
    for (char& c : out) c = static_cast<char>(AnsiToOem(static_cast<unsigned char>(c)));
    return out;
}

unsigned char OemToAnsi(unsigned char c) {
    return oem::kOemToAnsi[c];
}

std::string UpperAZ(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    }
    return out;
}

unsigned char AnsiUpper(unsigned char c) {
    if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 0x20);
    // à to þ pair with À to Þ; ÷ (0xF7) has no upper case.
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 0x20);
    switch (c) {
        case 0x9A:  // š
            return 0x8A;
        case 0x9C:  // œ
            return 0x8C;
        case 0x9E:  // ž
            return 0x8E;
        case 0xFF:  // ÿ
            return 0x9F;
        default:
            return c;
    }
}

std::string AnsiUpperCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(AnsiUpper(static_cast<unsigned char>(c)));
    return out;
}

int AnsiCompareOrder(std::string_view a, std::string_view b) {
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ua = AnsiUpper(static_cast<unsigned char>(a[i]));
        const unsigned char ub = AnsiUpper(static_cast<unsigned char>(b[i]));
        if (ua != ub) return ua < ub ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    // Equal but for case: the raw bytes decide, so the order is total.
    const int raw = a.compare(b);
    return raw < 0 ? -1 : (raw > 0 ? 1 : 0);
}

bool AnsiSameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AnsiUpper(static_cast<unsigned char>(a[i])) !=
            AnsiUpper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> SplitTextLines(std::string_view bytes) {
    const std::size_t zero = bytes.find('\0');
    if (zero != std::string_view::npos) bytes = bytes.substr(0, zero);

    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const char c = bytes[pos];
        if (c != '\r' && c != '\n') {
            ++pos;
            continue;
        }
        lines.emplace_back(bytes.substr(start, pos - start));
        ++pos;
        if (c == '\r' && pos < bytes.size() && bytes[pos] == '\n') ++pos;
        start = pos;
    }
    if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
    return lines;
}

}  // namespace lumora
