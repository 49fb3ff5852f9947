// What every lumora-cli command shares beyond the session: paths and name
// lists as the command line gives them.
#pragma once

#include <string>
#include <vector>

namespace lumora::cli {

// A host path made absolute ("/" separated, no trailing slash added).
std::string AbsolutePath(const std::string& path);

// A comma-separated list of names (UTF-8) as Windows-1252 names, empty
// entries dropped.
std::vector<std::string> SplitNames(const std::string& list);

}  // namespace lumora::cli
