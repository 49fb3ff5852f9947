// The lister's walk over CAB headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeCabWalker();

}  // namespace lumora::archive
