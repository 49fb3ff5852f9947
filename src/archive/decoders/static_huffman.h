// The block-coded LZ decoder with static Huffman tables shared by LHA
// -lh4- to -lh7-, ARJ methods 1 to 3 and ZOO's LZH method. Callers differ
// in the count of position codes, the width of their count field and the
// window size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

struct StaticHuffmanParams {
    int dicBits;                 // position codes: dicBits + 1 (1 to 16)
    int posBits;                 // width of the position-code count field (1 to 5)
    std::size_t window = 26624;  // bytes of history (at most 64 KiB)
};

inline constexpr StaticHuffmanParams kLh4Params{12, 4};
inline constexpr StaticHuffmanParams kLh5Params{13, 4};
inline constexpr StaticHuffmanParams kLh6Params{15, 5, std::size_t{1} << 15};
inline constexpr StaticHuffmanParams kLh7Params{16, 5, std::size_t{1} << 16};
inline constexpr StaticHuffmanParams kArjParams{16, 5};  // ARJ methods 1, 2 and 3
inline constexpr StaticHuffmanParams kZooLzhParams{13, 4};

// Decodes one member into `out`: at most `originalSize` bytes, fewer when a
// block size of 0 ends the data first. Returns the count of bytes written.
// Damaged tables throw DecodeError{25110}, input that ends before the data
// DecodeError{25135}, both after the bytes decoded so far have been written.
// Exceptions of the source and the sink pass through. std::invalid_argument for parameters
// out of range.
std::uint64_t DecodeStaticHuffman(ByteSource& in, OutputSink& out, const StaticHuffmanParams& p,
                                  std::uint64_t originalSize);

}  // namespace lumora::archive
