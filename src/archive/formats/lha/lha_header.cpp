#include "archive/formats/lha/lha_header.h"

#include <array>

#include "archive/core/le_bytes.h"

namespace lumora::archive {

namespace {

constexpr std::size_t kFixedSize = 22;
// No archiver writes more than a handful per member; the limit keeps a
// crafted chain of tiny headers from costing millions of reads.
constexpr int kMaxExtendedHeaders = 1024;

// Walks the extended headers of a level-1 member that start at `pos`, the
// first of them `size` bytes long. Gives their total length, or false when
// one is too short to hold its successor's size or they overrun the packed
// data.
bool WalkExtendedHeaders(const InputFile& file, std::uint64_t pos, std::uint16_t size,
                         std::uint64_t packed, std::uint64_t& total) {
    total = 0;
    for (int count = 0; size != 0; ++count) {
        if (count == kMaxExtendedHeaders || size < 3 || total + size > packed) return false;
        std::array<std::uint8_t, 2> next;
        if (file.ReadAt(pos + size - 2, next.data(), next.size()) != next.size()) return false;
        pos += size;
        total += size;
        size = Le16(next.data());
    }
    return true;
}

}  // namespace

LhaHeaderRead ReadLhaHeader(const InputFile& file, std::uint64_t pos, LhaHeader& h) {
    std::array<std::uint8_t, 257> b{};  // a header is at most 255 + 2 bytes
    const std::size_t got = file.ReadAt(pos, b.data(), b.size());
    if (got < kFixedSize || b[0] == 0) return LhaHeaderRead::End;
    const std::size_t headerSize = b[0];  // bytes after the first two
    h.level = b[20];
    if (headerSize < kFixedSize || h.level > 1 || got < headerSize + 2) return LhaHeaderRead::Bad;
    const std::size_t nameLength = b[21];
    const std::size_t levelFields = h.level == 1 ? 3 : 0;  // OS id, first extended size
    if (kFixedSize + nameLength + levelFields > headerSize) return LhaHeaderRead::Bad;

    h.method.assign(reinterpret_cast<const char*>(b.data() + 2), 5);
    h.packedSize = Le32(b.data() + 7);
    h.originalSize = Le32(b.data() + 11);
    h.dosDateTime = Le32(b.data() + 15);
    h.name.assign(reinterpret_cast<const char*>(b.data() + kFixedSize), nameLength);
    h.crc = Le16(b.data() + kFixedSize + nameLength);

    const std::uint64_t dataStart = pos + headerSize + 2;
    h.next = dataStart + h.packedSize;
    if (h.next > file.Size()) return LhaHeaderRead::Bad;
    std::uint64_t extended = 0;
    // A level-1 header ends with the size of the first extended header.
    if (h.level == 1 && !WalkExtendedHeaders(file, dataStart, Le16(b.data() + headerSize),
                                             h.packedSize, extended)) {
        return LhaHeaderRead::Bad;
    }
    h.dataOffset = dataStart + extended;
    h.dataSize = h.packedSize - extended;
    return LhaHeaderRead::Ok;
}

}  // namespace lumora::archive
