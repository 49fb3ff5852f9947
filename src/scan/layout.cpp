#include "scan/layout.h"

#include <algorithm>

namespace lumora {
namespace {

// Columns wider than this come only from damaged settings; they are held
// here so a bad value cannot make a line of gigabytes.
constexpr int kMaxColumn = 1000;
// Further description lines are padded to this many characters before the
// cut to Width.
constexpr std::size_t kFurtherLinePad = 60;
constexpr std::size_t kNameWidth = 12;
constexpr std::size_t kSizeBase = 7;
// Name and size columns without Space1: 12 + 7.
constexpr std::size_t kIndentBase = kNameWidth + kSizeBase;

std::size_t Clamped(int value, int minimum) {
    return static_cast<std::size_t>(std::clamp(value, minimum, kMaxColumn));
}

std::size_t SizeWidth(const AppSettings& s) {
    return Clamped(s.Space1, 0) + kSizeBase;
}
std::size_t GapWidth(const AppSettings& s) {
    return Clamped(s.Space3, 1);
}
std::size_t DescriptionWidth(const AppSettings& s) {
    return Clamped(s.Width, 0);
}

bool WritesFurtherLines(int design, GroupMark mark) {
    switch (static_cast<DisplayMode>(design)) {
        case DisplayMode::FirstFull:
            return mark == GroupMark::First || mark == GroupMark::Single;
        case DisplayMode::AllFull:
            return true;
        case DisplayMode::LastFull:
            return mark == GroupMark::Last || mark == GroupMark::Single;
        case DisplayMode::FirstLinesOnly:
        default:
            return false;
    }
}

}  // namespace

bool IsSimilarName(std::string_view a, std::string_view b) {
    const std::size_t shorter = std::min(a.size(), b.size());
    const std::size_t longer = std::max(a.size(), b.size());
    if (longer - shorter >= 3) return false;
    int differences = 0;
    for (std::size_t i = 0; i < shorter; ++i) {
        if (a[i] != b[i] && ++differences > 2) return false;
    }
    return true;
}

std::vector<GroupMark> MarkSimilarGroups(std::size_t n,
                                         const std::function<std::string_view(std::size_t)>& path) {
    std::vector<GroupMark> marks(n, GroupMark::Single);
    if (n < 2) return marks;

    marks[0] = IsSimilarName(path(0), path(1)) ? GroupMark::First : GroupMark::Single;
    for (std::size_t i = 1; i + 1 < n; ++i) {
        const bool similar = IsSimilarName(path(i), path(i + 1));
        const bool inGroup = marks[i - 1] == GroupMark::First || marks[i - 1] == GroupMark::Middle;
        if (inGroup) {
            marks[i] = similar ? GroupMark::Middle : GroupMark::Last;
        } else {
            marks[i] = similar ? GroupMark::First : GroupMark::Single;
        }
    }
    marks[n - 1] = IsSimilarName(path(n - 1), path(n - 2)) ? GroupMark::Last : GroupMark::Single;
    return marks;
}

std::vector<GroupMark> MarkSimilarGroups(const std::vector<std::string>& paths) {
    return MarkSimilarGroups(paths.size(),
                             [&paths](std::size_t i) -> std::string_view { return paths[i]; });
}

std::string PadTo(const std::string& s, std::size_t width, bool alignRight) {
    if (s.size() >= width) return s;
    const std::string blanks(width - s.size(), ' ');
    return alignRight ? blanks + s : s + blanks;
}

EntryLayout::EntryLayout(const AppSettings& settings, std::size_t dateLength)
    : EntryLayout(settings, dateLength, ListText::FromSettings(settings)) {}

EntryLayout::EntryLayout(const AppSettings& settings, std::size_t dateLength, ListText text)
    : s_(settings),
      dateWidth_(std::min<std::size_t>(std::max<std::size_t>(8, dateLength), kMaxColumn)),
      text_(text) {}

// `s` padded with blanks on the right to `pad` columns, then cut to `width`.
std::string EntryLayout::PadAndCut(const std::string& s, std::size_t pad, std::size_t width) const {
    std::string out(text_.Prefix(s, std::max(pad, width)));
    const std::size_t columns = text_.Columns(out);
    if (columns < pad) out.append(pad - columns, ' ');
    if (std::max(columns, pad) > width) out = std::string(text_.Prefix(out, width));
    return out;
}

std::string EntryLayout::FormatEntryLine(const EntryColumns& entry, const std::string& text) const {
    const std::size_t dateColumn = Clamped(s_.Space2, 0) + dateWidth_;
    const std::size_t width = DescriptionWidth(s_);
    std::string line = PadTo(entry.name, kNameWidth, s_.Align != 0);
    line += PadTo(entry.size, SizeWidth(s_), true);
    line += PadTo(entry.date, dateColumn, true);
    line.append(GapWidth(s_), ' ');
    return text_.Program(line) + PadAndCut(text, width, width);
}

void EntryLayout::AppendDescription(std::vector<std::string>& output, const EntryColumns& entry,
                                    const std::vector<std::string>& lines, GroupMark mark) const {
    const std::vector<std::string> text = text_.Description(lines);
    output.push_back(FormatEntryLine(entry, text.empty() ? std::string() : text[0]));
    if (text.size() < 2 || !WritesFurtherLines(s_.Design, mark)) return;

    const std::string indent(Indent(), ' ');
    const std::size_t width = DescriptionWidth(s_);
    for (std::size_t i = 1; i < text.size(); ++i)
        output.push_back(indent + PadAndCut(text[i], kFurtherLinePad, width));
}

std::size_t EntryLayout::Indent() const {
    return kIndentBase + Clamped(s_.Space1, 0) + Clamped(s_.Space2, 0) + GapWidth(s_) + dateWidth_;
}

}  // namespace lumora
