// The unpacker for RAR 2.x (unpack versions 20 and 26): LZ and the audio mode.
#pragma once

#include <cstddef>
#include <memory>

#include "archive/decoders/rar_unpack.h"

namespace lumora::archive {

// `windowBytes`: the dictionary size from the archive header (at most
// kRarMaxWindow, else the unpacker answers kNoMemory).
std::unique_ptr<RarUnpacker> MakeRar20Unpacker(std::size_t windowBytes);

}  // namespace lumora::archive
