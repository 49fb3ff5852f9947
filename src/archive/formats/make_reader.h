// The reader for an archive type, as the format table names it.
#pragma once

#include <memory>

#include "archive/core/arc_type.h"
#include "archive/core/un_base.h"

namespace lumora::archive {

// A new reader for `type`, or null when the type has none.
std::unique_ptr<TUnBase> MakeReader(TArcType type);

}  // namespace lumora::archive
