// Helpers for names as archives store them: bytes, "\" as the separator after
// "/" has been turned into "\", a drive ("C:") possible at the start.
#pragma once

#include <string>
#include <string_view>

namespace lumora::archive {

// Every "/" replaced by "\".
std::string ToBackslashes(std::string_view name);

// The part after the last "\" or ":" (the whole text when there is none).
std::string_view StoredFileNamePart(std::string_view name);

// The part up to and including the last "\" or ":" (empty when there is none).
std::string_view StoredDirPart(std::string_view name);

}  // namespace lumora::archive
