// What every reader's extraction run holds: the reader it runs for, the
// archive it opens and the run's progress meter. A reader makes one run per
// ExtractMembers call, so nothing carries over from one run to the next.
#pragma once

#include <string>

#include "archive/core/error_codes.h"
#include "archive/core/input_file.h"
#include "archive/core/progress.h"
#include "archive/formats/format_table.h"

namespace lumora::archive {

template <typename Reader>
class ReaderRun {
public:
    explicit ReaderRun(Reader& reader)
        : reader_(reader), progress_(reader, reader.ProgressNotify) {}

    void Close() { file_.Close(); }

protected:
    // Opens ArchiveFile for a reader of `kind`: a missing name, a type this
    // reader does not read and a file that cannot be opened end the run
    // through ReportError.
    void OpenFor(ReaderKind kind) {
        const std::string& archive = reader_.ArchiveFile();
        if (archive.empty()) reader_.ReportError(archive, ecode::BadFileName);
        if (FormatOf(reader_.ArcType()).reader != kind) {
            reader_.ReportError(archive, ecode::BadArchive);
        }
        file_ = reader_.OpenArchiveInput();
        if (!file_.IsOpen()) reader_.ReportError(archive, ecode::OpenError);
    }

    Reader& reader_;
    InputFile file_;
    ProgressMeter progress_;
};

}  // namespace lumora::archive
