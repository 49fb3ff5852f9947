// The LHA/LZH reader: walks the member headers (levels 0 and 1), matches
// each stored name against FileSpec and extracts the matches stored
// (-lh0-), with the adaptive-Huffman method (-lh1-) or the static-Huffman
// methods (-lh4-, -lh5-), plain archives and archives inside executables
// alike.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class LhaRun;

class TUnLHA final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class LhaRun;
};

}  // namespace lumora::archive
