// ARC's squeezed data (method 4): a table of Huffman tree nodes at the start
// of the data, then codes taken least significant bit first until the end
// code (or the end of the data).
#pragma once

#include "archive/decoders/decoder_io.h"

namespace lumora::archive {

// Decodes into `out`; a node count outside 0..256, a node index beyond the
// count or a leaf beyond the end code throws DecodeError ecode::BadDecodingTree.
void Unsqueeze(ByteSource& in, OutputSink& out);

}  // namespace lumora::archive
