// The lister over any file: detection picks the walk, every member is
// reported, blank folders included, with the fields of the member record read.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "archive/lister/zip_tv.h"
#include "fuzz_file.h"

using namespace lumora::archive;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& path = lumora::fuzz::Folder().Write(data, size);
    TZipTV tv;
    tv.ShowBlankDirs = true;
    tv.SetZipCmntBufSize(32767);
    std::uint64_t sum = 0;
    tv.OnRead = [&sum](TZipTV& t, std::uint64_t offset, int filenum) {
        const auto& m = t.Member();
        sum += offset + static_cast<std::uint64_t>(filenum) + m.PackedSize + m.Ratio +
               t.FileName().size() + m.MemberComment.size() + m.MethodName.size();
    };
    tv.SetArchiveFile(path);
    tv.SetFileSpec("*.*");
    try {
        tv.Activate();
    } catch (const std::exception&) {
        // Activate reports failures through its result; anything escaping is
        // handled by the caller of the lister, as in the scan.
    }
    return sum == 1 ? 1 : 0;
}
