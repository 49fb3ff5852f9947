// Scan I lists for programs and web pages: one JSON document, or one
// self-contained HTML page, made from what the job reported of each archive.
#pragma once

#include <string>
#include <vector>

#include "platform/locale_formats.h"
#include "scan/list_text.h"
#include "scan/scan_job.h"
#include "scan/summary.h"

namespace lumora::cli {

// An archive as the list shows it: the job's report and the detected type.
struct ListedArchive {
    ArchiveReport report;
    std::string type;  // "ZIP", "ARJ", ...
};

struct ListDocument {
    std::vector<ListedArchive> archives;
    SummaryInput summary;
    // Decodes the descriptions (to UTF-8) as for a UTF-8 list.
    ListText text{CodePage::Utf8};
};

// `text` as a JSON string literal (UTF-8 in, quotes included).
std::string JsonString(const std::string& utf8);
// A point in time as "yyyy-mm-ddThh:mm:ss" (local time, no zone).
std::string IsoDateTime(TDateTime t);

std::string JsonList(const ListDocument& doc);
std::string HtmlList(const ListDocument& doc);

}  // namespace lumora::cli
