// The data of one cabinet folder, stored or MSZIP, turned into the folder's
// uncompressed bytes block by block. MSZIP blocks are separate Deflate
// streams that may refer to the previous 32 KB of the folder; a folder that
// goes on in the next cabinet keeps its decoder, and a block split between
// two cabinets is joined before it is decoded.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "archive/decoders/decoder_io.h"
#include "archive/decoders/inflate.h"

namespace lumora::archive {

class CabFolderDecoder {
public:
    explicit CabFolderDecoder(std::uint16_t type) : type_(type) {}

    std::uint16_t Type() const { return type_; }

    // Decodes one data block into `out`. With `split` the block goes on in
    // the next cabinet: its bytes wait for the rest. Damaged data throws
    // DecodeError with its code (25109, 25116, 25141); what `out` throws
    // passes through.
    void Block(std::span<const std::uint8_t> data, bool split, OutputSink& out);

private:
    void MsZipBlock(std::span<const std::uint8_t> block, OutputSink& out);

    std::uint16_t type_;
    std::vector<std::uint8_t> pending_;    // first part of a split block
    std::unique_ptr<InflateChain> chain_;  // MSZIP: carries the folder's window
};

}  // namespace lumora::archive
