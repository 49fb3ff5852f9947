// The RAR 2.9-4.x unpacker on any data. A RAR 4 archive has its members
// unpacked in order (solid ones carrying the state); anything else is one
// packed stream: byte 0 bit 0 asks for a second, solid pass over the same
// bytes, bytes 1-4 give the claimed size (little-endian).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/decoders/memory_source.h"
#include "archive/decoders/rar29.h"
#include "archive/decoders/rar_member_data.h"
#include "checking_sink.h"

using namespace lumora::archive;
using lumora::fuzz::CheckingSink;

namespace {

constexpr std::uint64_t kMaxOutput = 256u << 10;

void UnpackOnce(RarUnpacker& u, const std::uint8_t* data, std::size_t size, std::uint64_t claimed,
                bool solid) {
    MemorySource in(data, size);
    CheckingSink out;
    const RarUnpackResult r = u.Unpack(in, &out, {claimed, solid, kMaxOutput});
    // Never more than the member's size or the cap, and the count is true.
    if (out.total > claimed || out.total > kMaxOutput || r.produced != out.total) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) return 0;
    auto u = MakeRar29Unpacker(std::size_t{4} << 20);
    std::vector<lumora::archive::test::RarMemberData> members;
    lumora::archive::test::AddRar4Members({data, size}, members);
    if (!members.empty()) {
        bool first = true;
        for (const auto& m : members) {
            if (m.IsDirectory() || m.method == 0x30 || (m.version != 29 && m.version != 36))
                continue;
            UnpackOnce(*u, m.packed.data(), m.packed.size(), m.unpacked,
                       !first && (m.flags & 0x10));
            first = false;
        }
        return 0;
    }
    const std::uint64_t claimed =
        data[1] | (data[2] << 8) | (data[3] << 16) | (static_cast<std::uint64_t>(data[4]) << 24);
    UnpackOnce(*u, data + 5, size - 5, claimed, false);
    if (data[0] & 1) UnpackOnce(*u, data + 5, size - 5, claimed, true);
    return 0;
}
