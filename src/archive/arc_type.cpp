#include "archive/arc_type.h"

#include <array>

namespace lumora::archive {

namespace {

constexpr std::array<std::string_view, kArcTypeCount> kNames = {
    "atNA",     "atUnsupported", "atFileError", "atUnknown", "atARC",       "atArcExe", "atARJ",
    "atArjExe", "atBH",          "atBHExe",     "atCAB",     "atGZip",      "atHA",     "atLHA",
    "atLhaExe", "atLZH",         "atLzhExe",    "atPAK",     "atPakExe",    "atRAR",    "atRarExe",
    "atTAR",    "atZIP",         "atZipExe",    "atZip250",  "atZip250Exe", "atZOO",
};

}  // namespace

std::string_view ArcTypeName(TArcType type) {
    return type < kNames.size() ? kNames[type] : std::string_view("?");
}

bool IsZipType(TArcType type) {
    return type == atZIP || type == atZipExe || type == atZip250 || type == atZip250Exe;
}

}  // namespace lumora::archive
