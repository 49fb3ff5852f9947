// Type detection of any file: signature table, executables with an archive
// inside, the ZIP end-record scan and the TAR checksum.
#include <cstddef>
#include <cstdint>

#include "archive/core/detect.h"
#include "fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto& path = lumora::fuzz::Folder().Write(data, size);
    for (const int cmntBuf : {0, 32767}) lumora::archive::DetectArcType(path, cmntBuf);
    return 0;
}
