#include "archive/core/copy_stored.h"

#include <algorithm>
#include <memory>

#include "archive/core/error_codes.h"

namespace lumora::archive {

void CopyStored(const InputFile& in, std::uint64_t offset, std::uint64_t count, MemberOutput& out,
                ProgressMeter& progress) {
    constexpr std::size_t kBlock = 32768;
    // Only the bytes each read delivers are used: the buffer is not cleared.
    const std::unique_ptr<std::uint8_t[]> buf(
        new std::uint8_t[static_cast<std::size_t>(std::min<std::uint64_t>(count, kBlock))]);
    std::uint64_t done = 0;
    while (done < count) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(count - done, kBlock));
        const std::size_t got = in.ReadAt(offset + done, buf.get(), want);
        out.Write(buf.get(), got);
        done += got;
        progress.Test(count, done, true);
        if (got < want) throw E_RAISE(ecode::ReadError);
    }
}

}  // namespace lumora::archive
