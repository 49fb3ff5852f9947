// Which reader extracts which archive type; readers of further formats add
// their row to the table.
#pragma once

#include <memory>

#include "archive/arc_type.h"
#include "archive/un_base.h"

namespace lumora::archive {

// A new reader for `type`, or null when no reader handles it.
std::unique_ptr<TUnBase> MakeReader(TArcType type);

}  // namespace lumora::archive
