// The lister's walk over GZIP headers.
#pragma once

#include <memory>

namespace lumora::archive {

class HeaderWalker;

std::unique_ptr<HeaderWalker> MakeGzipWalker();

}  // namespace lumora::archive
