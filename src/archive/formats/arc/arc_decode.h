// Decoding of one ARC member's data by its method: 1 and 2 stored, 3 stored
// then run-length expanded, 4 squeezed, 5 to 7 crunched, 8 and 9 dynamic
// LZW; methods 3, 4, 6, 7 and 8 pass the run-length step.
#pragma once

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

inline constexpr int kArcLastMethod = 9;

// Decoder faults throw DecodeError with their code; what `out` throws
// passes through. Everything decoded before a fault has reached `out`.
void DecodeArcMember(int method, ByteSource& in, OutputSink& out);

}  // namespace lumora::archive
