// Archive commands of lumora-cli.
#include "cli/commands.h"

namespace lumora::cli {

void AddArchiveCommands(CLI::App&, CliResult&) {}

}  // namespace lumora::cli
