// The sub-commands of lumora-cli. Each adds itself to the parser and, when
// chosen, runs and leaves the program's exit code in `exitCode`: 0 success;
// 1 nothing found (no archives or description files, no description, no
// member extracted), a listing that failed or a member that failed to
// extract; 2 a usage error, input that cannot be read or a list or log that
// cannot be written. A crash report ends the program at once with 3; a
// SIGINT or SIGTERM that stopped a run gives 130 or 143.
#pragma once

#include <CLI/CLI.hpp>

namespace lumora::cli {

struct CliResult {
    int exitCode = 0;
};

// Scan I.
void AddScanCommand(CLI::App& app, CliResult& result);
// Scan II.
void AddScan2Command(CLI::App& app, CliResult& result);
// Archive type and extraction: type, extract.
void AddArchiveCommands(CLI::App& app, CliResult& result);
// Archive contents and descriptions: contents, desc.
void AddContentsCommands(CLI::App& app, CliResult& result);

}  // namespace lumora::cli
