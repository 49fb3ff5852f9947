// lumora-cli scan2: Scan II over the loose description files of a folder.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <optional>

#include "cli/cli_setup.h"
#include "cli/commands.h"
#include "cli/scan_common.h"
#include "cli/stop_signals.h"
#include "cli/terminal_host.h"
#include "platform/file_info.h"
#include "platform/text.h"
#include "scan/job_log.h"
#include "scan/scan2_command.h"

namespace lumora::cli {

namespace {

struct Scan2Options {
    std::string folder;
    std::string output = "-";
    bool subdirs = false;
    std::optional<std::string> names;
    FilterOptions filters;
    std::optional<std::string> logFile;
    EncodingOptions encoding;
};

// The ticked names: the given ones, or else every InfoFileList name.
std::vector<std::string> SearchNames(const Scan2Options& o, const Configuration& config) {
    return o.names ? SplitNames(*o.names) : config.InfoFileList;
}

int RunScan2(const Scan2Options& o) {
    const std::string folder = AbsolutePath(o.folder);
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "lumora-cli: cannot read folder %s\n", o.folder.c_str());
        return 2;
    }
    TerminalHost host(o.output == "-" ? "-" : AbsolutePath(o.output), o.encoding.quiet);
    AppSession session = StartScanSession(host);
    ApplyFilterOptions(o.filters, session.config.settings);

    host.echoFailedLogLines = true;
    host.folderAnswer = folder;
    host.scanIIOptions = ScanIIOptions{SearchNames(o, session.config), o.subdirs};
    JobLog log(host, session.formats);
    log.SetLineLimit(1 << 30);
    ScanIIEnvironment env{session.config, host, log,
                          [&host](const std::string& p, const std::string& b, std::string* e) {
                              host.ClearProgress();
                              return WriteListTo(p, b, e);
                          }};
    // Loose files are written as read unless a character set is asked for.
    if (o.encoding.encoding || (o.output == "-" && isatty(STDOUT_FILENO)))
        env.listText = ChosenListText(o.encoding, AppSettings{}, o.output == "-");
    const ScanIIResult result = RunScanIICommand(env);
    if (o.logFile && !WriteJobLog(log, *o.logFile)) return 2;
    switch (result) {
        case ScanIIResult::Written:
            return 0;
        case ScanIIResult::NothingFound:
            std::fprintf(stderr, "lumora-cli: no description files found\n");
            return 1;
        default:
            return 2;
    }
}

}  // namespace

void AddScan2Command(CLI::App& app, CliResult& result) {
    auto opts = std::make_shared<Scan2Options>();
    CLI::App* cmd = app.add_subcommand(
        "scan2", "Scan II: write a list from loose description files in a folder");
    cmd->add_option("FOLDER", opts->folder, "Folder to search")->required();
    cmd->add_option("-o,--output", opts->output, "List file to write (default: standard output)");
    cmd->add_flag("--subdirs", opts->subdirs, "Include the subfolders");
    cmd->add_option("--names", opts->names,
                    "Description file names to look for (comma-separated; default: every "
                    "name of LM_IDS.DAT)");
    AddFilterOptions(cmd, opts->filters);
    AddEncodingOptions(cmd, opts->encoding);
    cmd->add_option("--log", opts->logFile,
                    "Also write the job log (start, one line per file, end) to this file");
    cmd->footer("Filter options change the stored settings for this run only.");
    cmd->callback([opts, &result] {
        InstallStopSignals();
        try {
            result.exitCode = RunScan2(*opts);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "lumora-cli: %s\n", e.what());
            result.exitCode = 2;
        }
        result.exitCode = ExitCodeAfterStopSignal(result.exitCode);
    });
}

}  // namespace lumora::cli
