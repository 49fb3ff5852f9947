// The Scan II command: loose description files of a folder tree into a list.
#pragma once

#include <functional>
#include <string>

#include "scan/host.h"
#include "scan/job_log.h"
#include "scan/list_text.h"
#include "settings/app_settings.h"

namespace lumora {

struct ScanIIEnvironment {
    const Configuration& config;
    ScanHost& host;
    JobLog& log;
    // Writes the finished list; empty: the file is replaced atomically.
    std::function<bool(const std::string& path, const std::string& bytes, std::string* error)>
        writeList;
    // The list's character set; by default the lines are written as read.
    ListText listText{};
};

enum class ScanIIResult {
    Cancelled,     // no folder, options cancelled, or the save dialog cancelled
    NothingFound,  // the search found no file
    Written,       // the list file was written
    WriteFailed,   // the list could not be written (reported to the user)
};

// Busy state, folder browser, options dialog, search, save dialog, start log
// lines, the list, writing it, end log lines, the completion message, idle.
ScanIIResult RunScanIICommand(const ScanIIEnvironment& env);

inline constexpr const char* kNoNameTickedText =
    "Markieren Sie mindestens eine Datei, nach der gesucht werden soll.";

}  // namespace lumora
