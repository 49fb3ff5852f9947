#include "scan/crash_report.h"

#include <cstdio>
#include <cstdlib>

#include "platform/app_dirs.h"
#include "platform/file_info.h"
#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora {

namespace {

// lumora.ini is the settings of a program; more is not copied.
constexpr std::size_t kMaxConfigBytes = 1u << 20;

const char* const kCrashText =
    "Bei der Analyse der Archive ist ein schwerer Fehler aufgetreten !\r\rLumora wird nun ein "
    "Abbild der Fehlerparameter erstellen und auf Festplatte speichern. Danach beendet sich das "
    "Programm.\r\rSenden Sie diesen Fehlerbericht, den Sie unter dem Namen \"LUMORA.LOG\" "
    "finden, bitte an den Autor des Programms.";

}  // namespace

std::string CrashReportText(const std::string& config, const std::string& message,
                            const CrashContext& context) {
    std::string text;
    for (const auto& line : SplitTextLines(config)) text += line + "\r\n";
    text += "*** END OF CONFIGURATION ***\r\n";
    text += "Aktuelles Archiv=" + context.currentName + "\r\n";
    text += "Aktueller Counter=" + std::to_string(context.currentIndex) + "\r\n";
    text += "Gesamtanzahl Archive=" + std::to_string(context.archiveCount) + "\r\n";
    text += "Exception=" + message + "\r\n";
    return text;
}

void TerminateAtOnce(const std::string& tempDir) {
    // _Exit runs no destructors, so the session cannot remove the folder.
    if (!tempDir.empty()) RemoveTree(tempDir);
    std::fflush(stdout);
    std::_Exit(3);
}

void WriteCrashReport(ScanHost& host, const CrashReportPlace& place, const std::string& message,
                      const CrashContext& context, const std::function<void()>& terminate) {
    host.MessageBox("Lumora", kCrashText, MsgIcon::Error, MsgButtons::Ok);
    const auto config =
        ReadFileBytes(place.windowsDir + kCrashConfigFile, kMaxConfigBytes, Links::Follow);
    const std::string path = place.programDir + kCrashReportFile;
    std::string error;
    if (!WriteWholeFile(path, CrashReportText(config.value_or(""), message, context), &error)) {
        host.MessageBox("Fehler",
                        "Der Fehlerbericht kann nicht gespeichert werden:\r" + Utf8ToAnsi(path) +
                            "\r" + Utf8ToAnsi(error),
                        MsgIcon::Error, MsgButtons::Ok);
    }
    if (!terminate) TerminateAtOnce(place.tempDir);
    terminate();
}

}  // namespace lumora
