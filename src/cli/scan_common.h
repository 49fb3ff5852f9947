// What lumora-cli scan and scan2 share: the boolean --x/--no-x flags, the
// description filter options, the session with the host's error boxes, the
// job log file.
#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>

#include "cli/cli_setup.h"
#include "scan/app_session.h"
#include "scan/host.h"
#include "scan/job_log.h"
#include "scan/list_text.h"

namespace lumora::cli {

// --name sets `target` true, --no-name false; unset when neither is given.
CLI::Option* AddBoolOption(CLI::App* cmd, const std::string& name, std::optional<bool>& target,
                           const std::string& help);

struct FilterOptions {
    std::optional<bool> useFilter, caseSensitive, remove, removeChar, removeLine, removeEmpty;
    std::optional<std::string> mode;  // "contains" or "exact"
};

void AddFilterOptions(CLI::App* cmd, FilterOptions& o);
// The filter options change the stored settings for this run only.
void ApplyFilterOptions(const FilterOptions& o, AppSettings& s);

struct EncodingOptions {
    std::optional<std::string> encoding;  // windows-1252, cp850, cp437, utf-8
    std::string descCodePage = "auto";    // auto, 437, 850, 1252, utf-8
    bool quiet = false;
};

// --encoding, --desc-codepage and -q.
void AddEncodingOptions(CLI::App* cmd, EncodingOptions& o);
// The code page --desc-codepage names; nullopt for auto.
std::optional<CodePage> DescriptionCodePage(const EncodingOptions& o);
// The list's character set: the one given; else the terminal's when the list
// goes to standard output and that is a terminal; else the OEM option's.
ListText ChosenListText(const EncodingOptions& o, const AppSettings& s, bool listToStdout);

// The session, with an invalid filter.cfg reported through the host.
AppSession StartScanSession(ScanHost& host);

// Writes a finished list to `path`, "-" being standard output.
bool WriteListTo(const std::string& path, const std::string& bytes, std::string* error);

// Writes the job log as the desktop program saves it; false after a
// message on stderr.
bool WriteJobLog(const JobLog& log, const std::string& path);

}  // namespace lumora::cli
