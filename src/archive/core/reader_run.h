// What every reader's extraction run holds: the reader it runs for, the
// archive it opens and the run's progress meter. A reader makes one run per
// ExtractMembers call, so nothing carries over from one run to the next.
#pragma once

#include "archive/core/input_file.h"
#include "archive/core/progress.h"

namespace lumora::archive {

template <typename Reader>
class ReaderRun {
public:
    explicit ReaderRun(Reader& reader)
        : reader_(reader), progress_(reader, reader.ProgressNotify) {}

    void Close() { file_.Close(); }

protected:
    Reader& reader_;
    InputFile file_;
    ProgressMeter progress_;
};

}  // namespace lumora::archive
