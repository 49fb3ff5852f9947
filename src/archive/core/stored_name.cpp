#include "archive/core/stored_name.h"

#include <algorithm>

namespace lumora::archive {

std::string ToBackslashes(std::string_view name) {
    std::string out(name);
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

std::string_view StoredFileNamePart(std::string_view name) {
    const auto pos = name.find_last_of("\\:");
    return pos == std::string_view::npos ? name : name.substr(pos + 1);
}

std::string_view StoredDirPart(std::string_view name) {
    const auto pos = name.find_last_of("\\:");
    return pos == std::string_view::npos ? std::string_view{} : name.substr(0, pos + 1);
}

}  // namespace lumora::archive
