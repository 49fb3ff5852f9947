// ZIP method 1, Shrink: LZW with codes of 9 to 13 bits, least significant
// bit first, and partial clearing of the code table.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out` until the input ends or `originalSize` bytes
// were written. Returns the count of bytes written. Damaged data throws,
// after the bytes decoded so far have been written, DecodeError with 25109
// (no first code, or a control code followed by an unknown value), 25111 (a
// code not in the table, or a width past 13 bits) or 25196 (a string longer
// than the 8192-byte stack). Exceptions of the source and the sink pass
// through.
std::uint64_t DecodeShrink(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
