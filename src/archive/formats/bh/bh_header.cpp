#include "archive/formats/bh/bh_header.h"

namespace lumora::archive {

namespace {

constexpr std::uint32_t kBhSignature = 0x07054842u;

}  // namespace

HeaderResult ParseBhHeader(FieldReader& r, BhHeader& h) {
    const std::uint32_t signature = r.U32();
    const std::uint16_t headerSize = r.U16();
    r.Skip(1);
    h.versionMadeBy = r.U8();
    h.versionNeeded = r.U8();
    h.encrypted = (r.U8() & 1) != 0;
    h.method = r.U8();
    h.dosDateTime = r.U32();
    h.packedSize = r.U32();
    h.originalSize = r.U32();
    h.crc = r.U32();
    h.attributes = r.U16();
    r.Skip(4);
    h.nameLength = r.U16();
    r.Skip(2);
    if (r.Short()) return HeaderResult::Bad;
    if (signature != kBhSignature || headerSize == 0) return HeaderResult::End;
    return HeaderResult::Ok;
}

}  // namespace lumora::archive
