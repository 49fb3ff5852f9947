#include "archive/formats/tar/tar_header.h"

#include "archive/core/routines.h"

namespace lumora::archive {

namespace {

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

HeaderResult ParseTarHeader(std::string_view block, TarHeader& h) {
    h = {};
    FieldReader r(block);
    const std::string name = r.Text(100);
    r.Skip(24);  // mode, owner, group
    const std::string size = r.Text(12);
    const std::string time = r.Text(12);
    const std::string checksum = r.Text(8);
    h.type = static_cast<char>(r.U8());
    r.Skip(100);  // link name
    const std::string magic = r.Text(6);
    r.Skip(82);  // version, owner and group names, device numbers
    const std::string prefix = r.Text(155);
    r.Skip(kTarBlock - r.Pos());  // the block's padding must be there too
    if (r.Short()) return HeaderResult::Bad;
    h.name = Trimmed(UpToNul(name));
    if (h.name.empty()) return HeaderResult::End;
    if (magic == std::string_view("ustar\0", 6)) h.prefix = UpToNul(prefix);
    h.size = NumberField(size);
    h.hasTime = time.find_first_of("01234567") != std::string::npos;
    h.unixTime = ParseOctal(time);
    h.checksum = static_cast<std::uint32_t>(ParseOctal(checksum));
    return HeaderResult::Ok;
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
