// One RAR unpacker called directly on any data; the build makes one target per
// unpacker (LUMORA_RAR_UNPACKER = 15, 20 or 50). Byte 0: bit 2 decodes the
// data a second time as the next member of a solid archive; bytes 1-3 the
// claimed size (little-endian); the rest is the packed data. Output stops at
// 256 KiB.
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

std::unique_ptr<RarUnpacker> MakeUnpacker() {
#if LUMORA_RAR_UNPACKER == 15
    return MakeRar15Unpacker(1 << 16);
#elif LUMORA_RAR_UNPACKER == 20
    return MakeRar20Unpacker(1 << 20);
#elif LUMORA_RAR_UNPACKER == 50
    return MakeRar50Unpacker(1 << 22);
#else
#error "LUMORA_RAR_UNPACKER must be 15, 20 or 50"
#endif
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    const std::uint64_t claimed = data[1] | (data[2] << 8) | (data[3] << 16);
    const std::unique_ptr<RarUnpacker> u = MakeUnpacker();
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
