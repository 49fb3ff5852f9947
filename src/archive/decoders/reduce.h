// ZIP methods 2 to 5, Reduce with compression factor 1 to 4: bytes coded
// against follower sets of the previous byte, then a run-length/LZ layer
// with escape byte 144 over a 4096-byte window.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out` until `originalSize` bytes were written or
// the input ends. `factor` is 1 to 4 (method code minus 1). Returns the
// count of bytes written. A follower index past its set, or follower sets
// cut short, throw DecodeError{25109} after the bytes decoded so far have
// been written. Exceptions of the source and the sink pass through.
std::uint64_t DecodeReduce(ByteSource& in, OutputSink& out, std::uint64_t originalSize,
                           unsigned factor);

}  // namespace lumora::archive
