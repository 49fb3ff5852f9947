// The header walks of the lister, one per archive family.
#pragma once

#include <memory>

#include "archive/lister_run.h"

namespace lumora::archive {

std::unique_ptr<HeaderWalker> MakeZipWalker();
std::unique_ptr<HeaderWalker> MakeRarWalker();
std::unique_ptr<HeaderWalker> MakeGzipWalker();
std::unique_ptr<HeaderWalker> MakeTarWalker();
std::unique_ptr<HeaderWalker> MakeLhaWalker();
std::unique_ptr<HeaderWalker> MakeArjWalker();
std::unique_ptr<HeaderWalker> MakeCabWalker();
std::unique_ptr<HeaderWalker> MakeZooWalker();
// `pak`: PAK method names instead of ARC's.
std::unique_ptr<HeaderWalker> MakeArcWalker(bool pak);
std::unique_ptr<HeaderWalker> MakeBhWalker();
std::unique_ptr<HeaderWalker> MakeHaWalker();

}  // namespace lumora::archive
