// The front end as the scan engine sees it: message boxes, pending-message
// processing, the progress fields, the job log view and the dialogs' answers.
// The desktop window, the command-line program and the tests implement it.
// Every text crossing this interface is Windows-1252 bytes.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lumora {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { Ok, YesNo, YesNoDefaultNo };
enum class MsgAnswer { Ok, Yes, No };

// Marker kinds of the job log.
enum class LogKind : int { Failure = 0, Success = 1, Neutral = 2 };

// The main window's save dialog. An empty title or default extension leaves
// the dialog's current one as it is.
struct SaveDialogRequest {
    std::string title;
    std::string initialFolder;
    std::string defaultExtension;
    std::string filter;
};

// The file types of every list save dialog.
inline constexpr const char* kListFileTypes =
    "Text-Dateien (*.txt)|*.txt|Daten-Dateien (*.dat)|*.dat|Datei-Listen (*.lst)|*.lst|"
    "Files.BBS-Dateien (*.bbs)|*.bbs|Alle Dateien (*.*)|*.*";

// What the Scan II options dialog was left with on "&Weiter >>".
struct ScanIIOptions {
    std::vector<std::string> searchNames;  // the ticked names, Windows-1252
    bool includeSubfolders = false;
};

class ScanHost {
public:
    virtual ~ScanHost() = default;

    virtual MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                                 MsgButtons buttons) = 0;
    // Lets the front end handle pending events (Stop, painting).
    virtual void ProcessMessages() = 0;

    virtual void SetBusy() = 0;
    virtual void SetIdle() = 0;

    // "Insgesamt zu bearbeiten :", "Davon bearbeitet :", "Aktuelle Datei :".
    virtual void SetTotalField(const std::string& text) = 0;
    virtual void SetProcessedField(const std::string& text) = 0;
    virtual void SetCurrentFileField(const std::string& text) = 0;
    virtual void SetGaugeMax(int max) = 0;
    virtual void SetGaugePosition(int pos) = 0;
    // Status bar panel 0, 1 or 2.
    virtual void SetStatusPanel(int panel, const std::string& text) = 0;

    // The job log view: a line was added, the log was emptied, the last line
    // is to be selected.
    virtual void LogLineAdded(const std::string& text, LogKind kind) = 0;
    virtual void LogCleared() = 0;
    virtual void SelectLastLogLine() = 0;

    // The save dialog: the chosen file (host path), or nullopt on cancel.
    virtual std::optional<std::string> AskSaveFileName(const SaveDialogRequest& request) = 0;

    // The folder browser (folders only, from the computer's drives): the
    // chosen folder as a host path, or nullopt on cancel.
    virtual std::optional<std::string> AskFolder(const std::string& title,
                                                 const std::string& caption) = 0;
    // The Scan II options dialog with `caption` (the chosen folder) and the
    // names of `infoFileList` unticked, subfolders unticked: the choices, or
    // nullopt on "&Abbrechen". Choices without a ticked name are answered
    // with a notice and the question comes again.
    virtual std::optional<ScanIIOptions> AskScanIIOptions(
        const std::string& caption, const std::vector<std::string>& infoFileList) = 0;
};

}  // namespace lumora
