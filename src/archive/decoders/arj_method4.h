// ARJ method 4: LZ77 over a 26624-byte window with unary-prefixed codes for
// match lengths and distances, no Huffman tables.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out`: exactly `originalSize` bytes (the data has
// no end marker; a truncated input reads as zero bits). Returns the count of
// bytes written. Every input decodes, so nothing is thrown but the
// exceptions of the source and the sink.
std::uint64_t DecodeArjMethod4(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
