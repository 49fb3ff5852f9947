#include "settings/filter_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/file_info.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora {

namespace {

constexpr int kRows = 16;
constexpr int kColumns = 16;
// Both files are a few hundred bytes; a larger one is read this far.
constexpr std::size_t kMaxFilterFileBytes = 1u << 20;

bool FileMissing(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

}  // namespace

void LoadSpecialCharFilter(Configuration& config, const std::string& programDir,
                           const ErrorMessageFn& showError) {
    config.SpecialCharSet.reset();
    const std::string path = programDir + kSpecialCharFilterFile;
    if (FileMissing(path)) return;
    const auto bytes = ReadFileBytes(path, kMaxFilterFileBytes, Links::Follow);
    if (!bytes) return;  // unreadable: no special characters, the file stays
    const std::vector<std::string> lines = SplitTextLines(*bytes);
    if (lines.size() < kRows) {
        if (showError) showError(kInvalidFilterCaption, kInvalidFilterText);
        ::unlink(path.c_str());
        return;
    }
    for (int r = 0; r < kRows; ++r) {
        const std::string& row = lines[static_cast<std::size_t>(r)];
        if (row.size() < kColumns) continue;
        for (int c = 0; c < kColumns; ++c) {
            const std::size_t code = static_cast<std::size_t>(kColumns * r + c);
            const bool marked = row[static_cast<std::size_t>(c)] == '0';
            config.SpecialCharMarks.set(code, marked);
            if (marked) config.SpecialCharSet.set(code);
        }
    }
}

std::string SpecialCharFilterText(const CharSet& marks) {
    std::string text;
    for (int r = 0; r < kRows; ++r) {
        for (int c = 0; c < kColumns; ++c)
            text += marks.test(static_cast<std::size_t>(kColumns * r + c)) ? '0' : '1';
        text += "\r\n";
    }
    text += "\r\n";
    text += "; Konfigurations - Einstellungen f\xFCr den Sonderzeichen - Filter\r\n";
    text += "; Diese Einstellungen sollten nicht von Hand bearbeitet werden!\r\n";
    return text;
}

bool SaveSpecialCharFilter(const Configuration& config, const std::string& programDir,
                           std::string* error) {
    return WriteWholeFile(programDir + kSpecialCharFilterFile,
                          SpecialCharFilterText(config.SpecialCharMarks), error);
}

std::optional<std::vector<std::string>> ReadLineFilterFile(const std::string& programDir) {
    const std::string path = programDir + kLineFilterFile;
    if (FileMissing(path)) return std::nullopt;
    const auto bytes = ReadFileBytes(path, kMaxFilterFileBytes, Links::Follow);
    if (!bytes) return std::nullopt;
    return SplitTextLines(*bytes);
}

void LoadLineFilter(Configuration& config, const std::string& programDir) {
    if (auto lines = ReadLineFilterFile(programDir)) config.LineFilterList = std::move(*lines);
}

std::string LineFilterText(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += "\r\n";
    }
    return text;
}

bool SaveLineFilter(const std::vector<std::string>& lines, const std::string& programDir,
                    std::string* error) {
    return WriteWholeFile(programDir + kLineFilterFile, LineFilterText(lines), error);
}

void SortLineFilter(std::vector<std::string>& lines) {
    std::stable_sort(lines.begin(), lines.end(), [](const std::string& a, const std::string& b) {
        return AnsiCompareOrder(a, b) < 0;
    });
}

std::size_t LineFilterInsertPosition(const std::vector<std::string>& sorted,
                                     const std::string& entry) {
    const auto place = std::upper_bound(
        sorted.begin(), sorted.end(), entry,
        [](const std::string& a, const std::string& b) { return AnsiCompareOrder(a, b) < 0; });
    return static_cast<std::size_t>(place - sorted.begin());
}

}  // namespace lumora
