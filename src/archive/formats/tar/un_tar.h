// The TAR reader: walks the 512-byte header blocks of an uncompressed TAR
// archive and copies the data of each member whose stored name matches
// FileSpec. Reported errors leave its Extract as E_RAISE.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class TarRun;

class TUnTAR final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class TarRun;
};

}  // namespace lumora::archive
