// The lister's walk over ZOO headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeZooWalker();

}  // namespace lumora::archive
