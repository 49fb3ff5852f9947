// The lister's walk over LHA headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeLhaWalker();

}  // namespace lumora::archive
