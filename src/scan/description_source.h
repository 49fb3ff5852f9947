// The seam between the scan job and the archive readers: for one archive,
// find the first InfoFileList name it holds and extract that member.
//
// Encodings: the InfoFileList entries, member names and message texts are
// Windows-1252 bytes, as are the texts of the list. Paths on disk (the
// archive, the destination folder, the extracted file) are UTF-8: a member
// is written under the UTF-8 form of its Windows-1252 name, and
// ExtractedFilePath gives that place.
#pragma once

#include <string>
#include <vector>

namespace lumora {

struct ExtractionOutcome {
    // The member name as the archive stores it (file-name part compared;
    // Windows-1252); empty when none was found. The file, if extracted, lies
    // at ExtractedFilePath(destination folder, memberName).
    std::string memberName;
    // The lister, or the reader for the member the lister found, reported an
    // error for this archive, with its text (Windows-1252).
    bool listerFailed = false;
    std::string listerMessage;
    int listerCode = 0;  // its error code, 0 when none was given
};

// The UTF-8 path under which the file-name part of `memberName`
// (Windows-1252) is extracted into `destFolder` (UTF-8, ending in "/").
std::string ExtractedFilePath(const std::string& destFolder, const std::string& memberName);

class DescriptionSource {
public:
    virtual ~DescriptionSource() = default;
    // `archivePath` is UTF-8; `destFolder` is an empty private folder (UTF-8)
    // ending in "/".
    virtual ExtractionOutcome ExtractDescription(const std::string& archivePath,
                                                 const std::vector<std::string>& infoFileList,
                                                 const std::string& destFolder) = 0;
};

}  // namespace lumora
