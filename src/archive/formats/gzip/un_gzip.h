// The GZIP reader: extracts the one member of a gzip file (Stored or
// Deflate) and recognises compress, pack and SCO compress files, which it
// cannot decode. No exception leaves its Extract.
#pragma once

#include "archive/core/un_base.h"

namespace lumora::archive {

class GzipRun;

class TUnGZIP final : public TUnBase {
protected:
    void ExtractMembers() override;

private:
    friend class GzipRun;
};

}  // namespace lumora::archive
