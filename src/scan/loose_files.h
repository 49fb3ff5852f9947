// Scan II's search for loose description files and the list made of them.
#pragma once

#include <string>
#include <vector>

#include "scan/host.h"
#include "scan/job_log.h"
#include "scan/list_text.h"
#include "settings/app_settings.h"

namespace lumora {

struct LooseFile {
    std::string path;       // the real host path, which is read
    std::string shownPath;  // Windows-1252: folder + name upper-cased (a-z)
};

// The files in `folder` whose upper-cased names are among `searchNames`
// (compared without case), in the order the search meets them: a folder's
// own files first, then with `includeSubfolders` each subfolder depth-first.
// Entries are taken in name order (case-insensitive); names beginning with
// "." are passed over. Symbolic links to folders are not followed and no
// folder is searched twice, so a loop in the tree ends.
std::vector<LooseFile> FindLooseFiles(const std::string& folder, bool includeSubfolders,
                                      const std::vector<std::string>& searchNames);

// Reads at most `limit` bytes of the file; false and the reason (Windows-1252)
// when it cannot be read.
bool ReadLooseFile(const std::string& path, std::size_t limit, std::string& bytes,
                   std::string& reason);

// For each file: its lines (read as far as 1 MiB) filtered, "Quelle : " with
// its path and the separator line (whatever Divide says), a green "Lese ...
// OK" log line per file. A file that cannot be read any more gets a red log
// line with the reason and no entry; the others go on. The lines are in
// `text`'s character set (by default as they are read).
std::vector<std::string> BuildLooseList(const std::vector<LooseFile>& files,
                                        const Configuration& config, ScanHost& host, JobLog& log,
                                        const ListText& text = ListText());

inline constexpr std::size_t kLooseFileReadLimit = 1u << 20;

}  // namespace lumora
