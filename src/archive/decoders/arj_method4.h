// ARJ method 4: LZ77 over a 26624-byte window with unary-prefixed codes for
// match lengths and distances, no Huffman tables.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out`: exactly `originalSize` bytes (the data has
// no end marker). Returns the count of bytes written. Input that ends first
// throws DecodeError{25135} after the bytes decoded so far have been
// written; exceptions of the source and the sink pass through.
std::uint64_t DecodeArjMethod4(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
