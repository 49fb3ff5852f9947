// The unpacker for RAR 5 and later (unpack version 50): LZ and its filters.
#pragma once

#include <cstddef>
#include <memory>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

// `windowBytes`: the dictionary size from the archive header (at most
// kRarMaxWindow, else the unpacker answers kNoMemory).
std::unique_ptr<RarUnpacker> MakeRar50Unpacker(std::size_t windowBytes);

}  // namespace lumora::archive
