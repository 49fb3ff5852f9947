// Finding archive files in folders for a batch run.
#pragma once

#include <string>
#include <vector>

#include "scan/path_list.h"

namespace lumora {

// True when the name ends in an archive extension the program reads
// (compared without case).
bool HasArchiveExtension(const std::string& name);

// The archive files in `folder` (and with `recursive` in its subfolders;
// symbolic links to folders are not followed), full paths, unsorted.
std::vector<std::string> CollectArchives(const std::string& folder, bool recursive);
// The same, added to `out`.
void CollectArchives(const std::string& folder, bool recursive, PathList& out);

}  // namespace lumora
