// Finding the cabinets of a set: the next cabinet's stored name gives only a
// file name, looked up in the folder of the cabinet that names it; a run
// remembers every cabinet it has opened so that a set naming one of them
// again cannot loop.
#pragma once

#include <sys/types.h>

#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace lumora::archive {

// The host path of the cabinet named `storedName` in `folder` (ending in
// "/"). Only the file-name part of the stored name counts; the exact name
// comes first, else the first entry of the folder (in byte order) that
// equals it without regard to case. Empty when there is none, or when the
// name part is empty, "." or "..".
std::string FindCabinetFile(const std::string& folder, std::string_view storedName);

class CabinetVisits {
public:
    // Records the file at `path`; false when it was recorded before (the
    // same device and inode, under whatever name) or cannot be examined.
    bool Add(const std::string& path);

private:
    std::set<std::pair<dev_t, ino_t>> seen_;
};

}  // namespace lumora::archive
