// The lister's walk over ZIP headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeZipWalker();

}  // namespace lumora::archive
