#include "archive/tar_header.h"

#include "archive/routines.h"
#include "archive/stored_name.h"

namespace lumora::archive {

namespace {

std::string_view Field(const std::uint8_t* block, std::size_t at, std::size_t n) {
    return {reinterpret_cast<const char*>(block + at), n};
}

std::string_view Trimmed(std::string_view s) {
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
    return s;
}

}  // namespace

TarHeader ParseTarHeader(const std::uint8_t* block) {
    TarHeader h;
    const std::string_view name = Field(block, 0, 100);
    h.name = ToBackslashes(Trimmed(name.substr(0, name.find('\0'))));
    h.type = static_cast<char>(block[156]);
    h.size = ParseOctal(Field(block, 124, 12));
    h.unixTime = ParseOctal(Field(block, 136, 12));
    return h;
}

std::string_view WithoutRoot(std::string_view name) {
    if (name.size() >= 2 && name[1] == ':') {
        name.remove_prefix(2);
    }
    if (!name.empty() && name.front() == '\\') name.remove_prefix(1);
    return name;
}

}  // namespace lumora::archive
