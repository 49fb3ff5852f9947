#include "archive/formats/tar/tar_header.h"

#include "archive/core/routines.h"

namespace lumora::archive {

namespace {

std::string_view Field(const std::uint8_t* block, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(block + at), n};
}

std::string_view UpToNul(std::string_view s) {
    return s.substr(0, s.find('\0'));
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

// Octal text, or the base-256 form large sizes take (high bit of the first
// byte set); values past 64 bits saturate.
std::uint64_t NumberField(std::string_view s) {
    if (!s.empty() && (static_cast<unsigned char>(s[0]) & 0x80)) {
        std::uint64_t v = static_cast<unsigned char>(s[0]) & 0x3F;
        for (std::size_t i = 1; i < s.size(); ++i) {
            if (v >> 56) return ~std::uint64_t{0};
            v = (v << 8) | static_cast<unsigned char>(s[i]);
        }
        return v;
    }
    return ParseOctal(Trimmed(s));
}

std::string PaxPath(std::string_view data) {
    std::string path;
    while (!data.empty()) {
        const auto space = data.find(' ');
        if (space == std::string_view::npos || space == 0 || space > 20) break;
        std::size_t len = 0;
        for (char c : data.substr(0, space)) {
            if (c < '0' || c > '9') return path;
            len = len * 10 + static_cast<std::size_t>(c - '0');
        }
        if (len <= space + 1 || len > data.size()) break;
        std::string_view rec = data.substr(space + 1, len - space - 1);
        if (!rec.empty() && rec.back() == '\n') rec.remove_suffix(1);
        if (rec.substr(0, 5) == "path=") path = rec.substr(5);
        data.remove_prefix(len);
    }
    return path;
}

}  // namespace

std::uint64_t TarHeader::PaddedSize() const {
    const std::uint64_t rounded =
        size > ~std::uint64_t{0} - (kTarBlock - 1) ? ~std::uint64_t{0} : size + (kTarBlock - 1);
    return rounded / kTarBlock * kTarBlock;
}

TarHeader ParseTarHeader(const std::uint8_t* block) {
    TarHeader h;
    h.name = Trimmed(UpToNul(Field(block, 0, 100)));
    if (Field(block, 257, 6) == std::string_view("ustar\0", 6))
        h.prefix = UpToNul(Field(block, 345, 155));
    h.type = static_cast<char>(block[156]);
    h.size = NumberField(Field(block, 124, 12));
    const std::string_view time = Field(block, 136, 12);
    h.hasTime = time.find_first_of("01234567") != std::string_view::npos;
    h.unixTime = ParseOctal(time);
    h.checksum = static_cast<std::uint32_t>(ParseOctal(Field(block, 148, 8)));
    return h;
}

std::string TarLongName(char type, std::string_view data) {
    return type == 'L' ? std::string(UpToNul(data)) : PaxPath(data);
}

std::string TarMemberName(const TarHeader& h, const std::string& longName) {
    if (!longName.empty()) return longName;
    return h.prefix.empty() ? h.name : h.prefix + "/" + h.name;
}

std::string_view WithoutRoot(std::string_view name) {
    if (name.size() >= 2 && name[1] == ':') {
        name.remove_prefix(2);
    }
    if (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    return name;
}

}  // namespace lumora::archive
