// Scan I lists for programs and web pages: one JSON document, or one
// self-contained HTML page, made from what the job reported of each archive.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
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

// A list document written as the job reports: the head with the summary,
// each archive, then the end; `out` receives the bytes piece by piece.
class ListDocumentWriter {
public:
    enum class Format { Json, Html };
    using Out = std::function<void(std::string_view bytes)>;
    ListDocumentWriter(Format format, ListText text, Out out);
    void Summary(const SummaryInput& s);
    void Archive(const ListedArchive& a);
    void End();

private:
    Format format_;
    ListText text_;
    Out out_;
    std::size_t archives_ = 0;
};

std::string JsonList(const ListDocument& doc);
std::string HtmlList(const ListDocument& doc);

}  // namespace lumora::cli
