// The scan engine's host for a terminal: messages and progress on stderr,
// questions answered without asking (SIGINT or SIGTERM asks for a stop,
// answered Yes).
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "scan/host.h"

namespace lumora::cli {

class TerminalHost final : public ScanHost {
public:
    // `listFile`: the answer to the save dialog ("-" for standard output).
    // `quiet`: no progress line and no message but errors and warnings.
    explicit TerminalHost(std::string listFile, bool quiet = false);

    MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override;
    void ProcessMessages() override;
    void SetBusy() override {}
    void SetIdle() override;
    void SetTotalField(const std::string& text) override { totalKb_ = text; }
    void SetProcessedField(const std::string& text) override;
    void SetCurrentFileField(const std::string& text) override;
    void SetGaugeMax(int max) override { gaugeMax_ = max; }
    void SetGaugePosition(int pos) override;
    void SetStatusPanel(int, const std::string&) override {}
    void LogLineAdded(const std::string& text, LogKind kind) override;
    void LogCleared() override {}
    void SelectLastLogLine() override {}
    // The list file; after a stop signal the dialog counts as cancelled.
    std::optional<std::string> AskSaveFileName(const SaveDialogRequest&) override;
    std::optional<std::string> AskFolder(const std::string&, const std::string&) override {
        return folderAnswer;
    }
    // The given options once; asked again (nothing ticked), it cancels.
    std::optional<ScanIIOptions> AskScanIIOptions(const std::string&,
                                                  const std::vector<std::string>&) override;

    // Called from ProcessMessages, once, after a stop signal (stop_signals.h).
    std::function<void()> onStop;
    // Messages that only confirm success are not printed.
    bool quietCompletion = true;
    // Red log lines are printed too (a file that could not be read).
    bool echoFailedLogLines = false;
    // The answers of the folder browser and the Scan II options dialog.
    std::optional<std::string> folderAnswer;
    std::optional<ScanIIOptions> scanIIOptions;

    // Removes the progress line, so that a list written to the same terminal
    // starts on a line of its own.
    void ClearProgress();

private:
    // The progress line: done / total, kilobytes, the current archive, the
    // time since the first archive.
    void ShowProgress();

    std::string listFile_;
    bool quiet_;
    bool progress_;
    std::string totalKb_, processedKb_, current_;
    std::optional<std::chrono::steady_clock::time_point> started_;
    bool progressShown_ = false;
    int gaugeMax_ = 0;
    int gaugePos_ = 0;
    bool optionsGiven_ = false;
    bool stopForwarded_ = false;
};

// Windows-1252 text for the terminal: UTF-8, CR and CR LF as LF.
std::string TerminalText(const std::string& ansi);

}  // namespace lumora::cli
