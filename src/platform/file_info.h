// What the scan job needs to know of a file on disk.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
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

// The names in a folder (UTF-8, without "." and ".."), in no particular order.
std::vector<std::string> ListFolderNames(const std::string& folder);

// ShortNameForPath for many files: each folder is listed once, when the
// first name in it that is not already 8.3 is asked for, and the aliases of
// all its long names are made from that one listing. Kept for one job.
class ShortNameCache {
public:
    using Lister = std::function<std::vector<std::string>(const std::string& folder)>;
    explicit ShortNameCache(Lister lister = ListFolderNames) : lister_(std::move(lister)) {}

    std::string AliasFor(const std::string& folder, const std::string& fileName);

private:
    struct Folder {
        std::vector<std::string> siblings;                     // Windows-1252
        std::unordered_map<std::string, std::string> aliases;  // long name -> alias
    };
    const Folder& Listed(const std::string& folder);

    Lister lister_;
    std::unordered_map<std::string, Folder> folders_;
};

// Reads at most `limit` bytes of a regular file; nullopt when it cannot be
// read. Links are refused unless `links` says otherwise (extracted members
// are read this way, so a link an archive planted is not followed).
std::optional<std::string> ReadFileBytes(const std::string& path, std::size_t limit,
                                         Links links = Links::Refuse);

}  // namespace lumora
