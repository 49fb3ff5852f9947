// The lister's walk over BH headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeBhWalker();

}  // namespace lumora::archive
