// The RAR unpackers called directly on any data. Byte 0: bits 0-1 choose the
// unpacker (1.5, 2.x, 5), bit 2 decodes the data a second time as the next
// member of a solid archive; bytes 1-3 the claimed size (little-endian); the
// rest is the packed data. Output stops at 256 KiB.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar15.h"
#include "archive/decoders/rar20.h"
#include "archive/decoders/rar50.h"
#include "checking_sink.h"

using namespace lumora::archive;
using lumora::fuzz::CheckingSink;

namespace {

constexpr std::uint64_t kLimit = 256u << 10;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint64_t claimed = data[1] | (data[2] << 8) | (data[3] << 16);
    std::unique_ptr<RarUnpacker> u;
    switch (data[0] & 3) {
        case 0:
            u = MakeRar15Unpacker(1 << 16);
            break;
        case 1:
            u = MakeRar20Unpacker(1 << 20);
            break;
        default:
            u = MakeRar50Unpacker(1 << 22);
            break;
    }
    const int members = (data[0] & 4) ? 2 : 1;
    for (int m = 0; m < members; ++m) {
        MemorySource in(data + 4, size - 4);
        CheckingSink out;
        RarUnpackRequest request;
        request.unpackedSize = claimed;
        request.solid = m > 0;
        request.maxOutput = kLimit;
        const RarUnpackResult r = u->Unpack(in, &out, request);
        // Never more than asked for, and the count reported is what arrived.
        if (out.total > claimed || out.total > kLimit || r.produced != out.total) __builtin_trap();
    }
    return 0;
}
