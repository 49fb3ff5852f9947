// Decoding the data of one LHA, ARJ or ZOO member into its output: the
// decoder chosen by the member's coding, the input bounded to the member's
// packed bytes, and every failure turned into the library's error code.
#pragma once

#include <cstdint>

#include "archive/core/input_file.h"
#include "archive/core/member_output.h"
#include "archive/core/progress.h"
#include "archive/decoders/static_huffman.h"

namespace lumora::archive {

enum class LzhCoding { Stored, Lh1, StaticHuffman, ArjMethod4, ZooLzw, Lz5 };

struct LzhMember {
    LzhCoding coding = LzhCoding::Stored;
    StaticHuffmanParams params{};  // for StaticHuffman
    std::uint64_t offset = 0;      // of the packed data in the archive file
    std::uint64_t packedSize = 0;
    std::uint64_t originalSize = 0;
};

// Decodes `m` into `out` and flushes it, also when decoding fails part way
// (the output then holds what was decoded). Returns true when the output
// was cut at its byte limit. Failures throw E_RAISE without a report: the
// decoder's own code, 25135 for data ending early, 25114 for a failed
// write. std::bad_alloc passes through.
bool DecodeLzhMember(const InputFile& in, const LzhMember& m, MemberOutput& out,
                     ProgressMeter& progress);

}  // namespace lumora::archive
