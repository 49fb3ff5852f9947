// Where a member goes on the host: the extraction folder, the folders below
// it taken from the stored path, and the file name. Stored names are
// Windows-1252 bytes; the host parts are UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lumora::archive {

struct OutputTarget {
    std::string extractDir;         // absolute host folder ending in "/"
    std::vector<std::string> dirs;  // folders below extractDir (stored paths only)
    std::string name;               // file name; empty when there is nothing to write

    // extractDir + dirs + name, "/"-separated.
    std::string FullPath() const;
};

// The output place of a stored name. Without `useStoredDirs` only the
// file-name part is kept. With it, a drive and leading separators are dropped
// and so are empty, "." and ".." folder parts, so that nothing can land
// outside `extractDir`. A name part of "." or ".." gives an empty name. The
// name ends at a zero byte, as it would for the system calls.
OutputTarget BuildOutputTarget(std::string_view storedName, const std::string& extractDir,
                               bool useStoredDirs);

}  // namespace lumora::archive
