// The lister's walk over TAR headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeTarWalker();

}  // namespace lumora::archive
