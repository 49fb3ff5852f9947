// List entry layout: group marks of similar names, the columns of an entry's
// first line, further description lines and the OEM conversion.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "scan/list_text.h"
#include "settings/app_settings.h"

namespace lumora {

enum class GroupMark : unsigned char { First = 1, Middle = 2, Single = 3, Last = 255 };

// Byte comparison of two full paths (Windows-1252), case-sensitive.
bool IsSimilarName(std::string_view a, std::string_view b);
// One mark per entry of the sorted list of paths (at least one entry).
std::vector<GroupMark> MarkSimilarGroups(const std::vector<std::string>& paths);
// The same over `n` paths given by `path(i)`.
std::vector<GroupMark> MarkSimilarGroups(std::size_t n,
                                         const std::function<std::string_view(std::size_t)>& path);

// The texts of the archive being laid out.
struct EntryColumns {
    std::string name;  // name column text
    std::string size;  // size text or "< ? >"
    std::string date;  // date text or "< ? >"
};

class EntryLayout {
public:
    // `dateLength` is the length of a date in the locale's short format; the
    // date column is Space2 + max(8, dateLength) wide.
    // The list's character set is the one the OEM option chooses, or `text`.
    EntryLayout(const AppSettings& settings, std::size_t dateLength);
    EntryLayout(const AppSettings& settings, std::size_t dateLength, ListText text);

    // The first line of an entry; `text` is in the list's character set and
    // columns count characters.
    std::string FormatEntryLine(const EntryColumns& entry, const std::string& text) const;
    // Appends the first line and the further lines the display mode allows
    // for `mark`; `lines` as the description holds them, converted here.
    void AppendDescription(std::vector<std::string>& output, const EntryColumns& entry,
                           const std::vector<std::string>& lines, GroupMark mark) const;
    // Further lines start after this many blanks.
    std::size_t Indent() const;

private:
    std::string PadAndCut(const std::string& s, std::size_t pad, std::size_t width) const;

    const AppSettings& s_;
    std::size_t dateWidth_;
    ListText text_;
};

// Pads `s` on the left (right = true) or right to at least `width` bytes.
std::string PadTo(const std::string& s, std::size_t width, bool alignRight);

}  // namespace lumora
