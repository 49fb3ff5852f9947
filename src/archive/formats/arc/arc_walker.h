// The lister's walk over ARC and PAK headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeArcWalker();
// PAK: the same headers, PAK's method names.
std::unique_ptr<HeaderWalker> MakePakWalker();

}  // namespace lumora::archive
