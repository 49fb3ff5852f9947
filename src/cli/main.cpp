// lumora-cli: the scan engine and archive readers for batch use.
#include <clocale>
#include <cstdio>

#include "cli/commands.h"

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CLI::App app{"Lumora: file lists from archive collections", "lumora-cli"};
    app.require_subcommand(1);
    app.set_help_all_flag("--help-all", "Show the help of every command");
    app.set_version_flag("--version", "lumora-cli " LUMORA_VERSION);
    app.footer(
        "Exit status: 0 success; 1 nothing found, or a member that failed to extract; 2 usage "
        "error or unreadable input; 3 after a crash report; 130 or 143 when SIGINT or SIGTERM "
        "stopped the run. \"extract --help\" tells its codes in full.");

    lumora::cli::CliResult result;
    lumora::cli::AddScanCommand(app, result);
    lumora::cli::AddScan2Command(app, result);
    lumora::cli::AddArchiveCommands(app, result);
    lumora::cli::AddContentsCommands(app, result);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "lumora-cli: %s\n", e.what());
        return 2;
    }
    return result.exitCode;
}
