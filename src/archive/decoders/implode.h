// ZIP method 6, Implode: a sliding dictionary of 4 or 8 KB whose literals,
// match lengths and the upper distance bits are coded with Shannon-Fano
// trees stored in front of the data.
#pragma once

#include <cstdint>

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

struct ImplodeParams {
    bool largeWindow = false;  // general-purpose flag bit 1: 8 KB window, 7 low distance bits
    bool literalTree = false;  // flag bit 2: literals coded with a third tree, matches from 3
};

// The options a member's general-purpose flags select.
inline ImplodeParams ImplodeParamsFromFlags(std::uint16_t flags) {
    return {(flags & 2) != 0, (flags & 4) != 0};
}

// Decodes one member into `out` until `originalSize` bytes were written or
// the input ends. Returns the count of bytes written. A tree that is not a
// complete code of the right number of symbols, or a code no tree holds,
// throws DecodeError{25109} after the bytes decoded so far have been
// written. Exceptions of the source and the sink pass through.
std::uint64_t DecodeImplode(ByteSource& in, OutputSink& out, std::uint64_t originalSize,
                            const ImplodeParams& params);

}  // namespace lumora::archive
