// LArc -lz5-: LZSS over a 4096-byte window that starts with a fixed
// pattern. A flag byte tells, lowest bit first, whether each of the next
// eight items is a literal byte or a two-byte match.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out`: exactly `originalSize` bytes (the data has
// no end marker). Returns the count of bytes written. The only fault is
// input that ends first: DecodeError{25135}, after the bytes decoded so far
// have been written. Exceptions of the source and the sink pass through.
std::uint64_t DecodeLz5(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
