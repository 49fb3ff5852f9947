#include "archive/lister_steps.h"

namespace lumora::archive {

std::unique_ptr<HeaderWalker> MakeHeaderWalker(TArcType type) {
    switch (type) {
        case atARC:
        case atArcExe:
            return MakeArcWalker(false);
        case atPAK:
        case atPakExe:
            return MakeArcWalker(true);
        case atARJ:
        case atArjExe:
            return MakeArjWalker();
        case atBH:
        case atBHExe:
            return MakeBhWalker();
        case atCAB:
            return MakeCabWalker();
        case atGZip:
            return MakeGzipWalker();
        case atHA:
            return MakeHaWalker();
        case atLHA:
        case atLhaExe:
        case atLZH:
        case atLzhExe:
            return MakeLhaWalker();
        case atRAR:
        case atRarExe:
            return MakeRarWalker();
        case atTAR:
            return MakeTarWalker();
        case atZIP:
        case atZipExe:
        case atZip250:
        case atZip250Exe:
            return MakeZipWalker();
        case atZOO:
            return MakeZooWalker();
        default:
            return nullptr;
    }
}

}  // namespace lumora::archive
