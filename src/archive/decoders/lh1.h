// LHA -lh1-: LZ77 over a 4096-byte window with an adaptive Huffman code for
// characters and match lengths, and fixed codes for the upper position bits.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out`: exactly `originalSize` bytes (the data has
// no end marker). Returns the count of bytes written. The only fault is
// input that ends first: DecodeError{25135}, after the bytes decoded so far
// have been written. Exceptions of the source and the sink pass through.
std::uint64_t DecodeLh1(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
