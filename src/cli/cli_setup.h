// What every lumora-cli command shares beyond the session: paths and name
// lists as the command line gives them.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

// A host path made absolute ("/" separated, no trailing slash added).
std::string AbsolutePath(const std::string& path);

// True when `path` opens as a regular file for reading; otherwise says
// "lumora-cli: cannot read PATH" on stderr, as type and extract do. A FIFO, device or folder
// named like an archive is refused here instead of being waited on.
bool ArchiveReadable(const std::string& path);

// A comma-separated list of names (UTF-8) as Windows-1252 names, empty
// entries dropped.
std::vector<std::string> SplitNames(const std::string& list);

}  // namespace lumora::cli
