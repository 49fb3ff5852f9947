// The seam between the scan job and the archive readers: for one archive,
// find the first InfoFileList name it holds and extract that member.
#pragma once

#include <string>
#include <vector>

namespace lumora {

struct ExtractionOutcome {
    // The member name as the archive stores it (file-name part compared);
    // empty when none was found. The file, if extracted, lies in the
    // destination folder under this name.
    std::string memberName;
    // The lister reported an error for this archive, with its text.
    bool listerFailed = false;
    std::string listerMessage;
};

class DescriptionSource {
public:
    virtual ~DescriptionSource() = default;
    // `destFolder` is an empty private folder ending in "/".
    virtual ExtractionOutcome ExtractDescription(const std::string& archivePath,
                                                 const std::vector<std::string>& infoFileList,
                                                 const std::string& destFolder) = 0;
};

}  // namespace lumora
