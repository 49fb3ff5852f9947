#include "scan/scan2_command.h"

#include "platform/app_dirs.h"
#include "platform/file_io.h"
#include "platform/text.h"
#include "scan/loose_files.h"

namespace lumora {

namespace {

// The options dialog stays open until a name is ticked or it is cancelled.
std::optional<ScanIIOptions> AskOptions(const ScanIIEnvironment& env, const std::string& folder) {
    for (;;) {
        auto options = env.host.AskScanIIOptions(Utf8ToAnsi(folder), env.config.InfoFileList);
        if (!options || !options->searchNames.empty()) return options;
        env.host.MessageBox("Hinweis", kNoNameTickedText, MsgIcon::None, MsgButtons::Ok);
    }
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const auto& line : lines) bytes += line + "\r\n";
    return bytes;
}

ScanIIResult WriteLooseList(const ScanIIEnvironment& env, const std::vector<LooseFile>& files,
                            const std::string& listFile) {
    env.log.LogJobStart();
    const std::string bytes =
        JoinLines(BuildLooseList(files, env.config, env.host, env.log, env.listText));
    std::string error;
    const bool ok = env.writeList ? env.writeList(listFile, bytes, &error)
                                  : WriteWholeFile(listFile, bytes, &error);
    if (!ok)
        env.host.MessageBox("Fehler",
                            "Die Liste kann nicht gespeichert werden:\r" + Utf8ToAnsi(listFile) +
                                "\r" + Utf8ToAnsi(error),
                            MsgIcon::Error, MsgButtons::Ok);
    env.log.LogJobEnd();
    if (!ok) return ScanIIResult::WriteFailed;
    env.host.MessageBox("Hinweis", "Die Erstellung der Liste ist abgeschlossen.",
                        MsgIcon::Information, MsgButtons::Ok);
    return ScanIIResult::Written;
}

ScanIIResult SearchAndWrite(const ScanIIEnvironment& env) {
    const auto chosen = env.host.AskFolder("Welches Verzeichnis durchsuchen ?", "Scan II");
    if (!chosen) return ScanIIResult::Cancelled;
    const std::string folder = WithTrailingSlash(*chosen);
    const auto options = AskOptions(env, folder);
    if (!options) return ScanIIResult::Cancelled;
    // Every run searches afresh; nothing of an earlier run is reused.
    const std::vector<LooseFile> files =
        FindLooseFiles(folder, options->includeSubfolders, options->searchNames);
    if (files.empty()) return ScanIIResult::NothingFound;
    // The save dialog keeps its title; it starts in the searched folder.
    const auto listFile = env.host.AskSaveFileName({"", folder, "txt", kListFileTypes});
    if (!listFile) return ScanIIResult::Cancelled;
    return WriteLooseList(env, files, *listFile);
}

}  // namespace

ScanIIResult RunScanIICommand(const ScanIIEnvironment& env) {
    env.host.SetBusy();
    auto backToIdle = [&env] {
        env.host.SetIdle();
        env.host.SetGaugePosition(0);
    };
    try {
        const ScanIIResult result = SearchAndWrite(env);
        backToIdle();
        return result;
    } catch (...) {
        // The front end shows the error; the window is idle again first.
        backToIdle();
        throw;
    }
}

}  // namespace lumora
