// The lister's walk over ARJ headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeArjWalker();

}  // namespace lumora::archive
