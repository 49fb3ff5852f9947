// The lister's walk over RAR headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeRarWalker();

}  // namespace lumora::archive
