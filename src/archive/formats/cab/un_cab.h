// The cabinet reader: decodes each folder (stored or MSZIP) as one stream and
// cuts the files out of it by their offsets, following a set of cabinets
// from one file to the next. Folders of other compression types are passed
// over together with their files, without a report.
#pragma once

#include <functional>
#include <string>

#include "archive/core/un_base.h"

namespace lumora::archive {

// Raised when the next cabinet of a set is not present: FN is its name as
// stored, VolumeID the disk name; Cancel true stops the run.
using TOnNextCabinet = std::function<void(TZipCommon& sender, const std::string& fn,
                                          const std::string& volumeId, bool& cancel)>;

class CabRun;

class TUnCAB final : public TUnBase {
public:
    TOnNextCabinet OnNextCabinet;

protected:
    // Every exception ends the run here; errors have been reported first.
    void ExtractMembers() override;

private:
    friend class CabRun;
};

}  // namespace lumora::archive
