#include "settings/description_filter.h"

#include <algorithm>

#include "platform/text.h"

namespace lumora {

namespace {

// Deletes every line for which `matches` holds. The decision for one line
// never depends on the others, so one pass gives what a walk from the last
// line to the first gives, without moving the kept lines again and again.
template <typename Pred>
void DeleteLines(std::vector<std::string>& lines, Pred matches) {
    std::erase_if(lines, matches);
}

bool ContainsAny(const std::string& line, const std::vector<std::string>& filters) {
    // An empty filter string occurs nowhere.
    return std::any_of(filters.begin(), filters.end(), [&](const std::string& f) {
        return !f.empty() && line.find(f) != std::string::npos;
    });
}

void ContainsFilter(std::vector<std::string>& lines, const std::vector<std::string>& filters,
                    bool respectCase) {
    if (respectCase) {
        DeleteLines(lines, [&](const std::string& l) { return ContainsAny(l, filters); });
        return;
    }
    // Without case only the letters a to z are folded.
    std::vector<std::string> upper;
    upper.reserve(filters.size());
    for (const auto& f : filters) upper.push_back(UpperAZ(f));
    DeleteLines(lines, [&](const std::string& l) { return ContainsAny(UpperAZ(l), upper); });
}

void ExactMatchFilter(std::vector<std::string>& lines, const std::vector<std::string>& filters,
                      bool respectCase) {
    if (respectCase) {
        DeleteLines(lines, [&](const std::string& l) {
            return std::find(filters.begin(), filters.end(), l) != filters.end();
        });
        return;
    }
    // Each filter string removes at most one line: the first one from the
    // top that equals it, accented letters folded too.
    for (const auto& f : filters) {
        const auto hit = std::find_if(lines.begin(), lines.end(),
                                      [&](const std::string& l) { return AnsiSameText(l, f); });
        if (hit != lines.end()) lines.erase(hit);
    }
}

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

void ApplyLineFilter(std::vector<std::string>& lines, const std::vector<std::string>& filters,
                     int mode, bool respectCase) {
    switch (mode) {
        case static_cast<int>(LineFilterMode::Contains):
            ContainsFilter(lines, filters, respectCase);
            break;
        case static_cast<int>(LineFilterMode::ExactMatch):
            ExactMatchFilter(lines, filters, respectCase);
            break;
        default:
            // Any other mode searches for the strings with case ignored.
            ContainsFilter(lines, filters, false);
            break;
    }
}

void ApplySpecialCharFilter(std::vector<std::string>& lines, const CharSet& special,
                            bool removeChar, bool removeLine) {
    auto isSpecial = [&](char c) { return special.test(static_cast<unsigned char>(c)); };
    if (removeChar) {
        // A line may become empty; it stays as an empty line.
        for (auto& line : lines) std::erase_if(line, isSpecial);
    } else if (removeLine) {
        DeleteLines(lines, [&](const std::string& l) {
            return std::any_of(l.begin(), l.end(), isSpecial);
        });
    }
}

void RemoveEmptyLines(std::vector<std::string>& lines) {
    // Kept lines are not trimmed.
    DeleteLines(lines, [](const std::string& l) {
        return std::all_of(l.begin(), l.end(), IsBlankOrControl);
    });
}

std::vector<std::string>& FilterDescription(std::vector<std::string>& lines,
                                            const Configuration& config) {
    const AppSettings& s = config.settings;
    if (s.UseFilter) ApplyLineFilter(lines, config.LineFilterList, s.Mode, s.Size);
    if (s.Remove) ApplySpecialCharFilter(lines, config.SpecialCharSet, s.RemoveChar, s.RemoveLine);
    if (s.RemoveEmpty) RemoveEmptyLines(lines);
    return lines;
}

}  // namespace lumora
