// The unpacker for RAR 1.5 (unpack version 15).
#pragma once

#include <cstddef>
#include <memory>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

// `windowBytes`: the dictionary size from the archive header (at most
// kRarMaxWindow, else the unpacker answers kNoMemory).
std::unique_ptr<RarUnpacker> MakeRar15Unpacker(std::size_t windowBytes);

}  // namespace lumora::archive
