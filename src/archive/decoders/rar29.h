// The unpacker for RAR 2.9 to 4.x (unpack versions 29 and 36): LZ, PPMd and the standard filters.
#pragma once

#include <cstddef>
#include <memory>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

// `windowBytes`: the dictionary size from the archive header (at most
// kRarMaxWindow, else the unpacker answers kNoMemory).
std::unique_ptr<RarUnpacker> MakeRar29Unpacker(std::size_t windowBytes);

}  // namespace lumora::archive
