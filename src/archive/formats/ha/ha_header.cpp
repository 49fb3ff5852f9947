#include "archive/formats/ha/ha_header.h"

namespace lumora::archive {

HeaderResult ParseHaEntry(FieldReader& r, HaHeader& e) {
    r.Skip(1);  // the byte before the entry
    const std::uint8_t type = r.U8();
    e.version = type >> 4;
    e.method = type & 0x0F;
    e.packedSize = r.U32();
    e.originalSize = r.U32();
    e.crc = r.U32();
    e.unixTime = r.U32();
    return r.Short() ? HeaderResult::Bad : HeaderResult::Ok;
}

std::string HaStoredName(std::string path, const std::string& name) {
    for (char& c : path) {
        if (c == '\xFF' || c == '/') c = '\\';
    }
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path + name;
}

}  // namespace lumora::archive
