// The LHA/LZH reader: walks the member headers (levels 0 to 3), matches
// each stored name against FileSpec and extracts the matches stored
// (-lh0-, -lz4-), with the adaptive-Huffman method (-lh1-), the
// static-Huffman methods (-lh4- to -lh7-) or LZSS (-lz5-), plain archives
// and archives inside executables alike. Folder entries (-lhd-) are
// skipped.
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
