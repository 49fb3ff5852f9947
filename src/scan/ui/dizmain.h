// The main window: toolbar, job log, progress fields, status bar and menu.
// It is the engine's ScanHost and runs Scan I and Scan II through the engine.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scan/app_session.h"
#include "scan/archive_selection.h"
#include "scan/host.h"
#include "scan/job_log.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QToolBar;

namespace lumora {
class DescriptionExtraction;
class ScanJob;
}  // namespace lumora

namespace lumora::ui {

// The archives chosen for Scan I and the folder they were picked in
// (host paths; the folder ends in "/").
using ArchiveChoice = lumora::ArchiveChoice;

// The other windows of the program, opened through the main window's
// commands; the program fills in those that exist.
struct WindowHooks {
    std::function<void()> showSettings;
    std::function<void()> showAbout;
    std::function<void()> showSupport;
    std::function<void()> showHelp;
    std::function<void()> showTip;
    std::function<void()> viewList;
    std::function<void()> printerSetup;
};

class TfrmDizMain : public QMainWindow, public ScanHost {
    Q_OBJECT

public:
    explicit TfrmDizMain(AppSession& session, QWidget* parent = nullptr);
    ~TfrmDizMain() override;

    // The Scan II folder browser and options dialog; without them a plain
    // folder dialog and every name of InfoFileList are used.
    std::function<std::optional<std::string>(const std::string& title, const std::string& caption)>
        askFolder;
    std::function<std::optional<ScanIIOptions>(const std::string& caption,
                                               const std::vector<std::string>& names)>
        askScanIIOptions;
    // Archive selection for Scan I; without it the open dialog with
    // subfolders and picker.
    std::function<std::optional<ArchiveChoice>()> askArchives;
    // Replaces the save dialog and the message boxes (scripted answers).
    std::function<std::optional<std::string>(const SaveDialogRequest&)> askSaveFileName;
    std::function<MsgAnswer(const std::string& caption, const std::string& text, MsgIcon,
                            MsgButtons)>
        messageBox;
    WindowHooks windows;

    // The commands.
    void btnStartClick();
    void tbtnStart2Click();
    void btnCancelClick();
    void btnSettingsClick();
    void btnInfoClick();
    void btnQuitClick();
    // Scan I over given archives, without the selection (dropped files).
    void RunScanI(const std::vector<std::string>& archives, const std::string& sourceFolder);
    // Scan I over files handed over like a drop (file arguments), started
    // from the event loop; ignored while a job or a selection runs.
    void OpenFiles(std::vector<std::string> paths);

    // Takes Lines from the settings: the log's limit and the menu item
    // "Lösche nach : N Zeilen".
    void UpdateLineLimit();
    bool busy() const { return busy_; }
    // The folder last chosen in an open dialog (empty before the first);
    // dropped files keep it as their source folder.
    const std::string& sourceFolder() const { return sourceFolder_; }
    JobLog& log() { return log_; }
    // The log list box's place in the client area (below the menu bar).
    QRect LogBoxGeometry() const;

    // ScanHost.
    MsgAnswer MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons) override;
    void ProcessMessages() override;
    void SetBusy() override;
    void SetIdle() override;
    void SetTotalField(const std::string& text) override;
    void SetProcessedField(const std::string& text) override;
    void SetCurrentFileField(const std::string& text) override;
    void SetGaugeMax(int max) override;
    void SetGaugePosition(int pos) override;
    void SetStatusPanel(int panel, const std::string& text) override;
    void LogLineAdded(const std::string& text, LogKind kind) override;
    void LogCleared() override;
    void SelectLastLogLine() override;
    std::optional<std::string> AskSaveFileName(const SaveDialogRequest& request) override;
    std::optional<std::string> AskFolder(const std::string& title,
                                         const std::string& caption) override;
    std::optional<ScanIIOptions> AskScanIIOptions(
        const std::string& caption, const std::vector<std::string>& infoFileList) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void BuildToolbar();
    void BuildMenu();
    void BuildClientArea();
    void BuildStatusBar();
    void BuildLogMenu();
    void PlaceClientControls();
    // Runs a command, turning an escaped exception into an error box.
    void Guarded(const std::function<void()>& command);
    void SetCommandsEnabled(bool enabled);
    void ShowLogMenu(const QPoint& pos);

    AppSession& session_;
    JobLog log_;
    std::unique_ptr<DescriptionExtraction> source_;
    ScanJob* job_ = nullptr;  // the running Scan I job, if any
    bool busy_ = false;
    bool selecting_ = false;  // the archive selection of Scan I is open
    std::string sourceFolder_;
    bool quitAfterJob_ = false;
    bool centred_ = false;
    std::string lastExtension_ = "txt";

    QToolBar* Toolbar971 = nullptr;
    QAction* tbtnSetup = nullptr;
    QAction* tbtnStart = nullptr;
    QAction* tbtnStart2 = nullptr;
    QAction* tbtnStop = nullptr;
    QAction* tbtnInfo = nullptr;
    QAction* tbtnExit = nullptr;
    QMenu* D1 = nullptr;
    QMenu* Bearbeiten1 = nullptr;
    QMenu* Hilfe1 = nullptr;
    QMenu* mnuPop1 = nullptr;
    QAction* mnuProtZeigen = nullptr;
    QAction* mnuProtLoeschen = nullptr;
    QAction* mnuProtSpeichern = nullptr;
    QAction* mnuInfo1 = nullptr;
    QWidget* client_ = nullptr;
    QListWidget* lbxProt = nullptr;
    QLineEdit* txtInsgesamt = nullptr;
    QLineEdit* txtBearbeitet = nullptr;
    QLineEdit* txtAktuelleDatei = nullptr;
    QProgressBar* Progress1 = nullptr;
    QLabel* captions_[6] = {};
    QLabel* panels_[3] = {nullptr, nullptr, nullptr};
    QLabel* ImageGreen = nullptr;
    QLabel* ImageRed = nullptr;
};

}  // namespace lumora::ui
