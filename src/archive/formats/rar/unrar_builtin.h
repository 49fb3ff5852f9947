// The project's own RAR extraction library (on RarReader), offering the four
// calls of the published interface for systems without the outside library.
// Extraction writes only below the destination folder, never through
// symbolic links, and regular files only.
#pragma once

#include "archive/formats/rar/unrar_api.h"

namespace lumora::archive::unrar {

// The built-in library's calls.
UnrarFunctions BuiltinUnrar();

}  // namespace lumora::archive::unrar
