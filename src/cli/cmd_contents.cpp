// lumora-cli contents and desc: the members of an archive as the lister
// reports them, and the description Scan I would take from it.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/core/error_codes.h"
#include "archive/lister/zip_tv.h"
#include "cli/cli_setup.h"
#include "cli/commands.h"
#include "cli/list_formats.h"
#include "cli/stop_signals.h"
#include "platform/datetime.h"
#include "platform/file_info.h"
#include "platform/text.h"
#include "scan/app_session.h"
#include "scan/description_extraction.h"
#include "scan/scan_job.h"

namespace lumora::cli {

namespace {

struct ContentsOptions {
    std::string archive;
    std::string spec = "*.*";
    bool dirs = false;
    bool json = false;
};

struct DescOptions {
    std::string archive;
    std::string infoFiles;
};

// A name for one TSV field: UTF-8, control characters (tabs, line ends) as "?".
std::string TsvField(const std::string& ansi) {
    std::string s = ansi;
    for (char& c : s) {
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    return AnsiToUtf8(s);
}

std::string FormatDate(TDateTime t) {
    const DateParts p = DecodeDateTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

void PrintMember(const archive::TZipTV& tv) {
    const archive::TListerMember& m = tv.Member();
    std::printf("%s\t%llu\t%llu\t%u\t%s\t%s\t%08X\t%d\n", TsvField(tv.FileName()).c_str(),
                static_cast<unsigned long long>(m.UnpackedSize),
                static_cast<unsigned long long>(m.PackedSize), unsigned{m.Ratio},
                FormatDate(m.FileDate).c_str(), TsvField(m.MethodName).c_str(), unsigned{m.Crc},
                m.Encrypted ? 1 : 0);
}

// The same fields as one JSON object; FileDate in ISO 8601.
std::string JsonMember(const archive::TZipTV& tv) {
    const archive::TListerMember& m = tv.Member();
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", unsigned{m.Crc});
    return "  {\"FileName\": " + JsonString(TsvField(tv.FileName())) +
           ", \"UnpackedSize\": " + std::to_string(m.UnpackedSize) +
           ", \"PackedSize\": " + std::to_string(m.PackedSize) +
           ", \"Ratio\": " + std::to_string(unsigned{m.Ratio}) +
           ", \"FileDate\": " + JsonString(IsoDateTime(m.FileDate)) +
           ", \"MethodName\": " + JsonString(TsvField(m.MethodName)) + ", \"Crc\": \"" + crc +
           "\", \"Encrypted\": " + (m.Encrypted ? "true" : "false") + "}";
}

int RunContents(const ContentsOptions& o) {
    if (!ArchiveReadable(o.archive)) return 2;
    archive::TZipTV tv;
    tv.ShowBlankDirs = o.dirs;
    bool failed = false;
    tv.OnError = [&failed](archive::TZipCommon&, const std::string&, const std::string&, int code) {
        failed = true;
        std::fprintf(stderr, "%d %s\n", code, AnsiToUtf8(archive::ErrorText(code)).c_str());
    };
    std::string json;
    tv.OnRead = [&o, &json](archive::TZipTV& sender, std::uint64_t, int) {
        if (!o.json) return PrintMember(sender);
        json += (json.empty() ? "[\n" : ",\n") + JsonMember(sender);
    };
    if (!o.json)
        std::printf(
            "FileName\tUnpackedSize\tPackedSize\tRatio\tFileDate\tMethodName\tCrc\tEncrypted\n");
    int code = 1;
    try {
        tv.SetArchiveFile(AbsolutePath(o.archive));
        tv.SetFileSpec(Utf8ToAnsi(o.spec));
        const bool ok = tv.Activate();
        code = ok && !failed ? 0 : 1;
    } catch (const archive::E_RAISE&) {
        // reported through OnError
    }
    // The members listed before an error still make a whole document.
    if (o.json) std::printf("%s\n", json.empty() ? "[]" : (json + "\n]").c_str());
    return code;
}

int RunDesc(const DescOptions& o) {
    if (!ArchiveReadable(o.archive)) return 2;
    // The filters play no part in finding a description.
    SessionOptions options;
    options.loadFilters = false;
    AppSession session = StartSession(options);
    if (!o.infoFiles.empty()) session.config.InfoFileList = SplitNames(o.infoFiles);
    if (!session.HasTempDir()) {
        std::fprintf(stderr, "lumora-cli: no private temporary folder\n");
        return 2;
    }
    ExtractionHooks hooks;
    hooks.messageBox = [](const std::string& caption, const std::string& text) {
        std::fprintf(stderr, "%s: %s\n", AnsiToUtf8(caption).c_str(), AnsiToUtf8(text).c_str());
    };
    DescriptionExtraction source(std::move(hooks));
    const std::string folder = session.dirs.tempDir + "desc/";
    const DescriptionResult r =
        ReadDescription(source, AbsolutePath(o.archive), session.config.InfoFileList, folder);
    if (!r.found) {
        std::fprintf(stderr, "%s\n", AnsiToUtf8(r.statusText).c_str());
        return 1;
    }
    std::fwrite(r.bytes.data(), 1, r.bytes.size(), stdout);
    return 0;
}

}  // namespace

void AddContentsCommands(CLI::App& app, CliResult& result) {
    auto c = std::make_shared<ContentsOptions>();
    CLI::App* contents = app.add_subcommand(
        "contents", "List the members of an archive as the lister reports them (TSV)");
    contents->add_option("ARCHIVE", c->archive, "The archive")->required();
    contents->add_option("SPEC", c->spec, "Member pattern, file-name part compared (default *.*)");
    contents->add_flag("--dirs", c->dirs, "Also list directory entries (not counted)");
    contents->add_flag("--json", c->json,
                       "A JSON array of objects with the same fields (FileDate in ISO 8601, Crc "
                       "as text, Encrypted true/false)");
    contents->footer(
        "One line per member after a header line: FileName (stored path, \\ as separator), "
        "UnpackedSize, PackedSize, Ratio (percent saved), FileDate (yyyy-mm-dd hh:mm:ss), "
        "MethodName, Crc (8 hex digits), Encrypted (0/1). A listing error prints \"CODE TEXT\" "
        "on stderr and exits with 1; an archive that cannot be opened exits with 2.");
    contents->callback([c, &result] { result.exitCode = RunContents(*c); });

    auto d = std::make_shared<DescOptions>();
    CLI::App* desc = app.add_subcommand(
        "desc", "Write the description Scan I would take from an archive (raw bytes)");
    desc->add_option("ARCHIVE", d->archive, "The archive")->required();
    desc->add_option("--info-files", d->infoFiles,
                     "Description file names to look for, in order (comma-separated; default: "
                     "the stored list)");
    desc->footer(
        "Exits with 1 and the job's status text on stderr when the archive yields no "
        "description, with 2 when it cannot be opened.");
    desc->callback([d, &result] {
        InstallStopSignals();
        result.exitCode = ExitCodeAfterStopSignal(RunDesc(*d));
    });
}

}  // namespace lumora::cli
