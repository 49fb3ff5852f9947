// The LZW methods of ARC, one decoder with two kinds of code and table:
// crunched data (methods 5 to 7) has fixed 12-bit codes naming slots of a
// 4096-entry table whose entries are placed by a hash (the old mid-square
// hash for 5 and 6, the multiplicative hash for 7); the dynamic methods (8:
// 9 to 12 bits after a leading byte 12, 9: 9 to 13 bits) have growing code
// widths, a table filled in order and a clear code.
#pragma once

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

enum class ArcLzwKind { CrunchOldHash, CrunchNewHash, Dynamic12, Dynamic13 };

// Decodes into `out` until the data ends. Faults throw DecodeError: a
// method-8 stream not starting with 12 (ecode::BadBitCount), a code beyond
// the next free one (ecode::BadCode), a string deeper than the table
// (ecode::StackOverflow).
void DecodeArcLzw(ByteSource& in, OutputSink& out, ArcLzwKind kind);

}  // namespace lumora::archive
