// The lister's walk over HA headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeHaWalker();

}  // namespace lumora::archive
