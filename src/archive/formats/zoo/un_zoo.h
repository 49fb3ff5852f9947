// The ZOO reader: follows the chain of directory entries, matches each short
// name against FileSpec and extracts the matches (stored, LZW or LZH),
// deleted entries included.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class ZooRun;

class TUnZOO final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class ZooRun;
};

}  // namespace lumora::archive
