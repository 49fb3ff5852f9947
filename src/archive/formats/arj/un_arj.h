// The ARJ reader: finds the main header (also behind a self-extractor stub),
// walks the member headers, matches each stored name against FileSpec and
// extracts the matches (methods 0 to 4), following multi-volume sets from
// .ARJ to .A01, .A02 and on, between and within members.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class ArjRun;

class TUnARJ final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class ArjRun;
};

}  // namespace lumora::archive
