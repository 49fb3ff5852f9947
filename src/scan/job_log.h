// The job log model: lines with their marker kinds, shown through the host.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/locale_formats.h"
#include "scan/host.h"

namespace lumora {

class JobLog {
public:
    JobLog(ScanHost& host, const LocaleFormats& formats) : host_(host), formats_(formats) {}

    // Appends a line with its marker kind; nothing while the log is not shown.
    void AddLogLine(const std::string& text, LogKind kind);
    void LogJobStart();
    void LogJobEnd();
    // folder + name + ", " + member + "... " + status; red on failure.
    void LogArchive(const std::string& folder, const std::string& name, const std::string& member,
                    const std::string& status, bool failure);
    // Before an archive or file line: at `lineLimit` lines or more, tell the
    // user and offer to clear.
    void CheckLimit();
    // The clear command with its question; true when the log was emptied.
    bool ClearWithQuestion();

    void SetLineLimit(int lines) { lineLimit_ = lines; }
    // Lines go to `sink` as they are made instead of being kept (the log of
    // a batch run, written to its file while the job runs).
    void SetLineSink(std::function<void(const std::string& line)> sink) { sink_ = std::move(sink); }
    bool shown() const { return shown_; }
    void SetShown(bool shown) { shown_ = shown; }
    const std::vector<std::string>& lines() const { return lines_; }
    const std::vector<LogKind>& kinds() const { return kinds_; }
    // All lines, each followed by CR LF.
    std::string SavedText() const;
    // Writes SavedText() to `path`, replacing it; false and the reason when
    // it cannot be written.
    bool SaveTo(const std::string& path, std::string* error) const;
    // "Protokoll speichern als...": the save dialog starting in `programDir`;
    // on OK the log is written, a failure shown with its reason. True when
    // the file was written.
    bool SaveWithDialog(const std::string& programDir);

private:
    ScanHost& host_;
    const LocaleFormats& formats_;
    std::vector<std::string> lines_;
    std::vector<LogKind> kinds_;
    std::function<void(const std::string& line)> sink_;
    bool shown_ = true;
    int lineLimit_ = 200;
};

}  // namespace lumora
