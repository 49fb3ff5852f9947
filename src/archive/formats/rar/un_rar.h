// The RAR reader: extracts the members of a RAR 1.5-4 or RAR 5 archive (or
// volume set) whose stored names match FileSpec, through RarReader. Errors
// of a member are reported as warnings; the walk goes on with the next.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class RarRun;

class TUnRAR final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class RarRun;
};

}  // namespace lumora::archive
