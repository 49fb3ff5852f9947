// The sub-commands of lumora-cli. Each adds itself to the parser and runs
// when chosen; `exitCode` follows the program's convention: 0 success,
// 1 asked thing not found, 2 usage error or unreadable input.
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
// Archive commands: type, extract (and later contents, desc).
void AddArchiveCommands(CLI::App& app, CliResult& result);
// Archive contents and descriptions: contents, desc.
void AddContentsCommands(CLI::App& app, CliResult& result);

}  // namespace lumora::cli
