// ZOO's LZW method: codes of 9 to 13 bits, least significant bit first;
// 256 clears the table, 257 ends the data.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes one member into `out` up to the end code, or until `originalSize`
// bytes were written, whichever comes first. Returns the count of bytes
// written. Damaged data throws, after the bytes decoded so far have been
// written, DecodeError{25135} when the input ends before the end code and
// DecodeError{25196} for a string longer than the 2005-byte stack.
// Exceptions of the source and the sink pass through.
std::uint64_t DecodeZooLzw(ByteSource& in, OutputSink& out, std::uint64_t originalSize);

}  // namespace lumora::archive
