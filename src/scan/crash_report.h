// The crash report: written when a Scan I job fails with an unexpected
// error, after which the program ends.
#pragma once

#include <functional>
#include <string>

#include "scan/host.h"
#include "scan/scan_job.h"

namespace lumora {

inline constexpr const char* kCrashReportFile = "lumora.log";
inline constexpr const char* kCrashConfigFile = "lumora.ini";

struct CrashReportPlace {
    std::string programDir;  // lumora.log is written here; ends in "/"
    std::string windowsDir;  // lumora.ini is copied from here; ends in "/"
    std::string tempDir;     // the private temp folder, removed on the way out
};

// The report's text: the lines of lumora.ini (`config`, empty when there is
// none), the end-of-configuration line, the archive, its 0-based index, the
// number of archives and the error's message, each line ended by CR LF.
std::string CrashReportText(const std::string& config, const std::string& message,
                            const CrashContext& context);

// Ends the process at once with status 3; the only clean-up is the removal
// of the private temp folder `tempDir` (none when empty).
[[noreturn]] void TerminateAtOnce(const std::string& tempDir);

// Tells the user, writes programDir + "lumora.log" (replacing it), then calls
// `terminate`, which ends the program; a report that cannot be written is
// shown with its reason first. Without `terminate` the program ends through
// TerminateAtOnce with place.tempDir. Returns only when `terminate` does
// (tests).
void WriteCrashReport(ScanHost& host, const CrashReportPlace& place, const std::string& message,
                      const CrashContext& context, const std::function<void()>& terminate = {});

}  // namespace lumora
