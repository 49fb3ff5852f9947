// The summary block appended to a Scan I list.
#pragma once

#include <string>

#include "platform/datetime.h"
#include "platform/locale_formats.h"

namespace lumora {

struct SummaryInput {
    int archiveCount = 0;
    double totalKilobytes = 0;
    TDateTime oldest = 0;
    TDateTime newest = 0;
    TDateTime today = 0;
    std::string sourceFolder;  // Windows-1252
};

// Two line breaks, then the framed block, every line followed by CR LF.
std::string BuildSummary(const SummaryInput& in, const LocaleFormats& formats);

}  // namespace lumora
