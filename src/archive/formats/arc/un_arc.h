// The ARC reader (also PAK archives and ARC archives inside executables):
// walks the member headers one after another and decodes the methods 1 to 9
// with a CRC-16 check of each member.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class ArcRun;

class TUnARC final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class ArcRun;
};

}  // namespace lumora::archive
