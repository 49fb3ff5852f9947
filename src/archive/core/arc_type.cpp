#include "archive/core/arc_type.h"

#include "archive/formats/format_table.h"

namespace lumora::archive {

std::string_view ArcTypeName(TArcType type) {
    return FormatOf(type).name;
}

bool IsZipType(TArcType type) {
    return FormatOf(type).family == MethodFamily::ZIP;
}

}  // namespace lumora::archive
