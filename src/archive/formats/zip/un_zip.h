// The ZIP reader: walks the central directory, matches each stored name
// against FileSpec and extracts the matches (Stored, Deflate, traditional
// PKWARE encryption), plain ZIP files and ZIPs inside executables alike.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class ZipRun;

class TUnZIP final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class ZipRun;
};

}  // namespace lumora::archive
