// The seam between the scan job and the archive readers: for one archive,
// find the first InfoFileList name it holds and extract that member.
//
// Encodings: the InfoFileList entries, member names and message texts are
// Windows-1252 bytes, as are the texts of the list. Paths on disk (the
// archive, the destination folder) are UTF-8: where a member has to pass
// through a file, it is written under the UTF-8 form of its Windows-1252
// name, and ExtractedFilePath gives that place.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/core/arc_type.h"
#include "archive/core/input_file.h"

namespace lumora {

struct ExtractionOutcome {
    // The member name as the archive stores it (file-name part compared;
    // Windows-1252); empty when none was found.
    std::string memberName;
    // The lister, or the reader for the member the lister found, reported an
    // error for this archive, with its text (Windows-1252).
    bool listerFailed = false;
    std::string listerMessage;
    // The extracted member's bytes (at most its first MiB); none when it was
    // not extracted or failed.
    std::optional<std::string> description;
    int listerCode = 0;  // its error code, 0 when none was given
    // The archive's type where detection ran on it.
    std::optional<archive::TArcType> arcType = std::nullopt;
};

// The UTF-8 path under which the file-name part of `memberName`
// (Windows-1252) is extracted into `destFolder` (UTF-8, ending in "/").
std::string ExtractedFilePath(const std::string& destFolder, const std::string& memberName);

struct ExtractionHooks {
    // The archive library's information boxes (caption, text).
    std::function<void(const std::string& caption, const std::string& text)> messageBox;
    // A plain box with the message of an exception that escaped the listing.
    std::function<void(const std::string& text)> showException;
};

class DescriptionSource {
public:
    virtual ~DescriptionSource() = default;
    // `archivePath` is UTF-8; `destFolder` (UTF-8, ending in "/") is a place
    // in the job's private folder, free for this archive, made and removed
    // by the source where a member has to pass through a file.
    virtual ExtractionOutcome ExtractDescription(const std::string& archivePath,
                                                 const std::vector<std::string>& infoFileList,
                                                 const std::string& destFolder) = 0;
    // The same for an archive the job has opened as `open` already: a source
    // that reads archives itself reads that opening instead of opening and
    // examining the file again. By default the archive is read by its path.
    virtual ExtractionOutcome ExtractOpenDescription(const std::string& archivePath,
                                                     const archive::InputFile& open,
                                                     const std::vector<std::string>& infoFileList,
                                                     const std::string& destFolder) {
        (void)open;
        return ExtractDescription(archivePath, infoFileList, destFolder);
    }
};

}  // namespace lumora
