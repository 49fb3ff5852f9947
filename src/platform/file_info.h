// What the scan job needs to know of a file on disk.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/datetime.h"
#include "platform/file_io.h"

namespace lumora {

struct ArchiveFileStat {
    std::uint64_t size = 0;
    TDateTime modified = 0;  // local time
};

// Opens the file read-only; nullopt when it cannot be opened or is not a
// regular file (a folder counts as a file that cannot be opened).
std::optional<ArchiveFileStat> StatArchiveFile(const std::string& path);

// True when the name is a valid MS-DOS 8.3 name (any case).
bool IsValid83Name(const std::string& ansiName);
// The 8.3 alias shown for `ansiName` among the names of its folder
// (`siblings`, Windows-1252, the name itself included): a valid 8.3 name
// with a-z upper-cased, otherwise BASIS~N.EXT with N counting past the aliases that
// long names sorting before it in the folder take.
std::string ShortNameAlias(const std::string& ansiName, const std::vector<std::string>& siblings);
// The alias of a file on disk: reads its folder for the siblings.
std::string ShortNameForPath(const std::string& folder, const std::string& fileName);

// Reads at most `limit` bytes of a regular file; nullopt when it cannot be
// read. Links are refused unless `links` says otherwise (extracted members
// are read this way, so a link an archive planted is not followed).
std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t limit,
                                         Links links = Links::Refuse);

}  // namespace lumora
