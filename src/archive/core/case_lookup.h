// Finding a file whose name differs only in the case of letters: archives
// name their companion files (ARJ volumes .A01, .A02, ..., next cabinets) in
// capitals, while the files on a case-sensitive file system may be named
// otherwise.
#pragma once

#include <optional>
#include <string>

namespace lumora::archive {

// `path` itself when it is a regular file; otherwise the regular file in the
// same folder whose name equals the name part of `path` without regard to
// case (Windows-1252 letters folded; the first in byte order when there are
// several); nullopt when there is none.
std::optional<std::string> FindFileIgnoringCase(const std::string& path);

}  // namespace lumora::archive
