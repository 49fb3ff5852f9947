#include "cli/scan_common.h"

#include <langinfo.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "platform/app_dirs.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora::cli {

CLI::Option* AddBoolOption(CLI::App* cmd, const std::string& name, std::optional<bool>& target,
                           const std::string& help) {
    return cmd->add_flag_function(
        "--" + name + ",!--no-" + name, [&target](std::int64_t count) { target = count > 0; },
        help);
}

void AddFilterOptions(CLI::App* cmd, FilterOptions& o) {
    const char* group = "Description filters (definitions in filter.cfg and filter2.cfg)";
    auto add = [&](const std::string& name, std::optional<bool>& target, const std::string& help) {
        AddBoolOption(cmd, name, target, help)->group(group);
    };
    add("use-filter", o.useFilter, "Line filter: delete lines holding a filter2.cfg string");
    add("case", o.caseSensitive, "Line filter respects upper and lower case");
    cmd->add_option("--filter-mode", o.mode,
                    "Line filter: contains (a line holding a string) or exact (a line equal to "
                    "one)")
        ->check(CLI::IsMember({"contains", "exact"}))
        ->group(group);
    add("remove", o.remove, "Special-character filter on (characters marked in filter.cfg)");
    add("remove-char", o.removeChar, "Special-character filter removes the characters");
    add("remove-line", o.removeLine, "Special-character filter removes the whole lines");
    add("remove-empty", o.removeEmpty, "Remove empty lines");
}

void ApplyFilterOptions(const FilterOptions& o, AppSettings& s) {
    if (o.useFilter) s.UseFilter = *o.useFilter;
    if (o.caseSensitive) s.Size = *o.caseSensitive;
    if (o.mode)
        s.Mode = static_cast<int>(*o.mode == "exact" ? LineFilterMode::ExactMatch
                                                     : LineFilterMode::Contains);
    if (o.remove) s.Remove = *o.remove;
    if (o.removeChar) s.RemoveChar = *o.removeChar;
    if (o.removeLine) s.RemoveLine = *o.removeLine;
    if (o.removeEmpty) s.RemoveEmpty = *o.removeEmpty;
}

namespace {

const std::map<std::string, CodePage> kEncodings = {{"windows-1252", CodePage::Windows1252},
                                                    {"cp850", CodePage::Cp850},
                                                    {"cp437", CodePage::Cp437},
                                                    {"utf-8", CodePage::Utf8}};
const std::map<std::string, CodePage> kDescPages = {{"437", CodePage::Cp437},
                                                    {"850", CodePage::Cp850},
                                                    {"1252", CodePage::Windows1252},
                                                    {"utf-8", CodePage::Utf8}};

// The character set of the locale (LC_CTYPE), when it is one a list can use.
std::optional<CodePage> TerminalCodePage() {
    const std::string set = nl_langinfo(CODESET);
    if (set == "UTF-8") return CodePage::Utf8;
    if (set == "CP437" || set == "IBM437") return CodePage::Cp437;
    if (set == "CP850" || set == "IBM850") return CodePage::Cp850;
    if (set == "CP1252" || set == "WINDOWS-1252") return CodePage::Windows1252;
    return std::nullopt;
}

}  // namespace

void AddEncodingOptions(CLI::App* cmd, EncodingOptions& o) {
    cmd->add_option("--encoding", o.encoding,
                    "Character set of the list: windows-1252, cp850, cp437 or utf-8 (default: "
                    "the terminal's when the list goes to one, else as --oem says)")
        ->check(CLI::IsMember({"windows-1252", "cp850", "cp437", "utf-8"}));
    cmd->add_option("--desc-codepage", o.descCodePage,
                    "For cp437 and utf-8 lists, the code page descriptions are read in: auto "
                    "(guessed per description), 437, 850, 1252 or utf-8")
        ->check(CLI::IsMember({"auto", "437", "850", "1252", "utf-8"}));
    cmd->add_flag("-q,--quiet", o.quiet, "No progress and no messages but errors");
}

std::optional<CodePage> DescriptionCodePage(const EncodingOptions& o) {
    if (o.descCodePage == "auto") return std::nullopt;
    return kDescPages.at(o.descCodePage);
}

ListText ChosenListText(const EncodingOptions& o, const AppSettings& s, bool listToStdout) {
    const std::optional<CodePage> descriptions = DescriptionCodePage(o);
    if (o.encoding) return ListText(kEncodings.at(*o.encoding), descriptions);
    if (listToStdout && isatty(STDOUT_FILENO)) {
        if (const auto page = TerminalCodePage()) return ListText(*page, descriptions);
    }
    return ListText(s.OEM ? CodePage::Cp850 : CodePage::Windows1252, descriptions);
}

AppSession StartScanSession(ScanHost& host) {
    SessionOptions options;
    options.showError = [&host](const std::string& caption, const std::string& text) {
        host.MessageBox(caption, text, MsgIcon::Error, MsgButtons::Ok);
    };
    return StartSession(options);
}

bool WriteListTo(const std::string& path, const std::string& bytes, std::string* error) {
    if (path != "-") return WriteWholeFile(path, bytes, error);
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
                    std::fflush(stdout) == 0;
    if (!ok && error) *error = "write error on standard output";
    return ok;
}

bool WriteJobLog(const JobLog& log, const std::string& path) {
    std::string error;
    if (log.SaveTo(AbsolutePath(path), &error)) return true;
    std::fprintf(stderr, "lumora-cli: cannot write %s: %s\n", path.c_str(), error.c_str());
    return false;
}

}  // namespace lumora::cli
