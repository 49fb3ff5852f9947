// Copying a stored (uncompressed) member from the archive to its output.
#pragma once

#include <cstdint>

#include "archive/core/input_file.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"

namespace lumora::archive {

// Copies `count` bytes from `offset` of the archive through `out` in blocks
// of 32 KB, running the progress test on every change. Data that ends before
// `count` raises E_RAISE 25135 after what was read has gone to `out`.
void CopyStored(const InputFile& in, std::uint64_t offset, std::uint64_t count, MemberOutput& out,
                ProgressMeter& progress);

}  // namespace lumora::archive
