// lumora-cli scan: Scan I over archive files and folders.
#include <sys/stat.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>

#include "archive/core/awk_main.h"
#include "archive/core/error_codes.h"
#include "cli/cli_setup.h"
#include "cli/commands.h"
#include "cli/list_formats.h"
#include "cli/scan_common.h"
#include "cli/stop_signals.h"
#include "cli/terminal_host.h"
#include "platform/file_info.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "scan/description_extraction.h"
#include "scan/folder_search.h"
#include "scan/job_log.h"
#include "scan/job_seams.h"
#include "scan/path_list.h"
#include "scan/scan_job.h"

namespace lumora::cli {

namespace {

struct ScanOptions {
    std::vector<std::string> paths;
    std::string output = "-";
    bool recursive = false;
    std::optional<int> design, width, width2, space1, space2, space3;
    std::optional<std::string> align, separatorChar, infoFiles;
    std::optional<bool> divide, resume, oem, shortNames;
    FilterOptions filters;
    std::optional<std::string> logFile;
    int jobs = DefaultScanWorkers();
    EncodingOptions encoding;
    std::string format = "text";
    bool nulSeparated = false;
};

// The paths standard input lists: one a line, or NUL-separated; empty
// entries are passed over.
void ReadPathList(std::istream& in, bool nulSeparated, PathList& paths) {
    for (std::string p; std::getline(in, p, nulSeparated ? '\0' : '\n');) {
        if (!nulSeparated && !p.empty() && p.back() == '\r') p.pop_back();
        if (!p.empty()) paths.Add(p);
    }
}

// The list as the command writes it: into the file (by WriteWholeFile's
// rules) or, for "-", into a spool copied to standard output once the list
// is complete; the job's items in the text format, else the document its
// reports make.
class CommandList final : public ListSink {
public:
    CommandList(const std::string& path, TerminalHost& host, const std::string& format,
                const ListText& documentText, bool& written)
        : host_(host), written_(written) {
        if (path == "-") {
            spool_.reset(std::tmpfile());
        } else {
            file_.emplace(path);
        }
        if (format != "text") {
            document_.emplace(format == "json" ? ListDocumentWriter::Format::Json
                                               : ListDocumentWriter::Format::Html,
                              documentText, [this](std::string_view b) { Write(b); });
        }
    }
    void Item(const std::string& item) override {
        if (document_) return;
        Write(item);
        Write("\r\n");
    }
    bool Finish(std::string* error) override {
        host_.ClearProgress();
        if (document_) document_->End();
        if (file_) return written_ = file_->Commit(error);
        written_ = CopySpoolToStdout();
        if (!written_ && error) *error = "write error on standard output";
        return written_;
    }
    ListDocumentWriter* document() { return document_ ? &*document_ : nullptr; }

private:
    void Write(std::string_view bytes) {
        if (file_) {
            file_->Write(bytes);
        } else if (spool_) {
            spoolFailed_ |=
                std::fwrite(bytes.data(), 1, bytes.size(), spool_.get()) != bytes.size();
        }
    }
    bool CopySpoolToStdout() {
        if (!spool_ || spoolFailed_ || std::fflush(spool_.get()) != 0) return false;
        std::rewind(spool_.get());
        char buffer[65536];
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, spool_.get())) {
            if (std::fwrite(buffer, 1, n, stdout) != n) return false;
        }
        return !std::ferror(spool_.get()) && std::fflush(stdout) == 0;
    }

    struct CloseFile {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    TerminalHost& host_;
    bool& written_;
    std::optional<WholeFileWriter> file_;
    std::unique_ptr<std::FILE, CloseFile> spool_;
    bool spoolFailed_ = false;
    std::optional<ListDocumentWriter> document_;
};

// The detected type's name without its "at" ("ZIP", "LHA", ...), "" when
// the file cannot be examined. The scan's own detection is used where it ran.
std::string ArchiveTypeName(const ArchiveReport& report) {
    archive::TArcType type{};
    if (report.arcType) {
        type = *report.arcType;
    } else {
        try {
            archive::TZipCommon probe;
            probe.SetArchiveFile(report.path);
            type = probe.ArcType();
        } catch (const archive::E_RAISE&) {
            return "";
        }
    }
    const std::string name(archive::ArcTypeName(type));
    return name.rfind("at", 0) == 0 ? name.substr(2) : name;
}

// Applies the command line's layout options to this run's settings.
void ApplyOverrides(const ScanOptions& o, Configuration& config) {
    AppSettings& s = config.settings;
    if (o.design) s.Design = *o.design;
    if (o.width) s.Width = *o.width;
    if (o.width2) s.Width2 = *o.width2;
    if (o.space1) s.Space1 = *o.space1;
    if (o.space2) s.Space2 = *o.space2;
    if (o.space3) s.Space3 = *o.space3;
    if (o.align) s.Align = *o.align == "left" ? 0 : 1;
    if (o.divide) s.Divide = *o.divide;
    if (o.resume) s.Resume = *o.resume;
    if (o.oem) s.OEM = *o.oem;
    if (o.shortNames) s.ShortName = *o.shortNames;
    ApplyFilterOptions(o.filters, s);
    if (o.separatorChar) {
        s.DivisionChar = Utf8ToAnsi(*o.separatorChar);
        FillSeparatorLine(config);
    }
    if (o.infoFiles) config.InfoFileList = SplitNames(*o.infoFiles);
}

// Expands folders into their archives; the first folder (or else the first
// archive's folder) is the source folder.
bool CollectInputs(const ScanOptions& o, PathList& archives, std::string& sourceFolder) {
    PathList givenPaths;
    for (const auto& given : o.paths) {
        if (given != "-") {
            givenPaths.Add(given);
            continue;
        }
        ReadPathList(std::cin, o.nulSeparated, givenPaths);
    }
    for (std::size_t i = 0; i < givenPaths.size(); ++i) {
        const std::string given(givenPaths[i]);
        const std::string path = AbsolutePath(given);
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            std::fprintf(stderr, "lumora-cli: cannot read %s\n", given.c_str());
            return false;
        }
        if (S_ISDIR(st.st_mode)) {
            const std::string folder = path.back() == '/' ? path : path + "/";
            if (sourceFolder.empty()) sourceFolder = folder;
            CollectArchives(folder, o.recursive, archives);
        } else {
            archives.Add(path);
        }
    }
    if (sourceFolder.empty() && !archives.empty()) {
        const std::string_view first = archives.front();
        sourceFolder = std::string(first.substr(0, first.rfind('/') + 1));
    }
    return true;
}

int RunScan(const ScanOptions& o) {
    PathList archives;
    std::string sourceFolder;
    if (!CollectInputs(o, archives, sourceFolder)) return 2;
    const std::string listFile = o.output == "-" ? "-" : AbsolutePath(o.output);
    TerminalHost host(listFile, o.encoding.quiet);
    AppSession session = StartScanSession(host);
    ApplyOverrides(o, session.config);

    JobLog log(host, session.formats);
    log.SetLineLimit(1 << 30);
    DescriptionExtraction source(HostHooks(host));
    bool written = false;
    CommandList* list = nullptr;
    ScanEnvironment env{session.config,       session.formats, host,    log,    source,
                        session.dirs.tempDir, nullptr,         nullptr, nullptr};
    const ListText documentText(CodePage::Utf8, DescriptionCodePage(o.encoding));
    env.openList = [&](const std::string& path) {
        auto opened = std::make_unique<CommandList>(path, host, o.format, documentText, written);
        list = opened.get();
        return std::unique_ptr<ListSink>(std::move(opened));
    };
    env.filterDescription = ConfiguredFilter(session.config);
    env.workers = o.jobs;
    env.makeSource = ExtractionSources();
    env.onCrash = CrashReportHandler(
        host, {session.dirs.programDir, session.dirs.windowsDir, session.dirs.tempDir});
    ScanJob job(env);
    job.SetListText(ChosenListText(o.encoding, session.config.settings, listFile == "-"));
    if (o.format != "text") {
        job.onArchive = [&list](const ArchiveReport& r) {
            list->document()->Archive({r, ArchiveTypeName(r)});
        };
        job.onSummary = [&list](const SummaryInput& in) { list->document()->Summary(in); };
    }
    host.onStop = [&job] { job.RequestCancel(); };
    if (archives.empty()) {
        std::fprintf(stderr, "lumora-cli: no archives found\n");
        return 1;
    }
    // The log goes to its file line by line, replacing it when the job ends.
    std::optional<WholeFileWriter> logFile;
    if (o.logFile) {
        logFile.emplace(AbsolutePath(*o.logFile));
        log.SetLineSink([&logFile](const std::string& line) {
            logFile->Write(line);
            logFile->Write("\r\n");
        });
    }
    job.RunCommand(std::move(archives), sourceFolder);
    std::string error;
    if (logFile && !logFile->Commit(&error)) {
        std::fprintf(stderr, "lumora-cli: cannot write %s: %s\n", o.logFile->c_str(),
                     error.c_str());
        return 2;
    }
    return written ? 0 : 2;
}

}  // namespace

void AddScanCommand(CLI::App& app, CliResult& result) {
    auto opts = std::make_shared<ScanOptions>();
    CLI::App* cmd =
        app.add_subcommand("scan", "Scan I: write a file list from archive files and folders");
    cmd->add_option("PATH", opts->paths,
                    "Archive files, or folders holding archives; - reads paths from standard "
                    "input")
        ->required();
    cmd->add_flag("-0,--null", opts->nulSeparated,
                  "Paths on standard input are separated by NUL bytes, not line ends");
    cmd->add_option("--format", opts->format,
                    "text (the list), json (one document) or html (one page); json and html "
                    "are UTF-8")
        ->check(CLI::IsMember({"text", "json", "html"}));
    AddEncodingOptions(cmd, opts->encoding);
    cmd->add_option("-o,--output", opts->output, "List file to write (default: standard output)");
    cmd->add_flag("-r,--recursive", opts->recursive, "Include the subfolders of given folders");
    cmd->add_option("-j,--jobs", opts->jobs,
                    "Archives read at once (default: the number of cores); the list and the log "
                    "are the same for any number")
        ->check(CLI::Range(1, 256));
    cmd->add_option("--design", opts->design,
                    "Display mode: 1 first of a group in full, 2 all in full, 3 first lines "
                    "only, 4 last of a group in full")
        ->check(CLI::Range(1, 4));
    cmd->add_option("--width", opts->width, "Width of the description column")
        ->check(CLI::Range(1, 60));
    cmd->add_option("--width2", opts->width2, "Length of the separator line")
        ->check(CLI::Range(1, 140));
    cmd->add_option("--space1", opts->space1, "Gap between name and size")
        ->check(CLI::Range(1, 10));
    cmd->add_option("--space2", opts->space2, "Gap between size and date")
        ->check(CLI::Range(1, 10));
    cmd->add_option("--space3", opts->space3, "Gap between date and description")
        ->check(CLI::Range(1, 10));
    cmd->add_option("--align", opts->align, "Name column alignment")
        ->check(CLI::IsMember({"left", "right"}));
    AddBoolOption(cmd, "divide", opts->divide, "Separator line after each archive or group");
    AddBoolOption(cmd, "resume", opts->resume, "Append the summary block");
    AddBoolOption(cmd, "oem", opts->oem, "Write the list in the MS-DOS character set");
    AddBoolOption(cmd, "short-names", opts->shortNames, "Show MS-DOS 8.3 names");
    cmd->add_option("--separator-char", opts->separatorChar, "Character of the separator line")
        ->check([](const std::string& c) {
            return Utf8ToAnsi(c).size() == 1 ? std::string() : "must be one character";
        });
    cmd->add_option("--info-files", opts->infoFiles,
                    "Description file names to look for, in order (comma-separated)");
    AddFilterOptions(cmd, opts->filters);
    cmd->add_option("--log", opts->logFile,
                    "Also write the job log (start, one line per archive, end) to this file");
    cmd->footer(
        "Folders contribute their .ZIP .ARJ .LHA .LZH .ARC .PAK .RAR .CAB .TAR .ZOO .GZ .TGZ .Z "
        "files. Layout and filter options change the stored settings for this run only.");
    cmd->callback([opts, &result] {
        InstallStopSignals();
        result.exitCode = ExitCodeAfterStopSignal(RunScan(*opts));
    });
}

}  // namespace lumora::cli
