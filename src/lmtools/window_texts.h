// What the two windows show, as text: one row of the contents list, and the
// facts the file-information window reads from an open descriptor. No window
// code here, so the texts are made the same way wherever they are shown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/datetime.h"
#include "platform/locale_formats.h"

namespace lumora::archive {
class TZipTV;
}

namespace lumora::lmtools {

// The cells of one contents row, Windows-1252 bytes as the lister gives them.
struct ContentsRow {
    std::string name;       // file-name part of the stored name
    std::string size;       // "1.500 KB"
    std::string date;       // short date, long time (left out at midnight)
    std::string ratio;      // "42 %"
    std::string packed;     // as size
    std::string directory;  // "DOC\" or empty
};

// The row of the member the lister holds while its OnRead runs.
ContentsRow MakeContentsRow(const archive::TZipTV& lister, const LocaleFormats& formats);

// `value` in decimal, thousands grouped with `separator`.
std::string GroupedDigits(std::uint64_t value, const std::string& separator);
// Short date, a blank and long time; the date alone at exactly midnight.
std::string DateTimeText(const LocaleFormats& formats, TDateTime t);

// What the file system records about an open file. Times are Unix seconds.
struct FileFacts {
    std::uint64_t size = 0;
    std::optional<std::int64_t> created;  // none where the file system keeps no birth time
    std::int64_t accessed = 0;
    std::int64_t written = 0;
    std::uint64_t links = 0;
    std::uint64_t volume = 0;  // the device number of the file system
    bool readOnly = false;     // the owner may not write
    bool compressed = false;
};

// Asks the system about the file open as `fd`; nullopt when it answers
// nothing (for instance a descriptor that is not open). Does not close `fd`.
std::optional<FileFacts> ReadFileFacts(int fd);

// "dd.mm.yyyy<TAB>hh:nn:ss" in universal time.
std::string UtcStampText(std::int64_t unixSeconds);
// At least 10 upper-case hexadecimal digits, leading zeros.
std::string VolumeNumberText(std::uint64_t volume);

}  // namespace lumora::lmtools
