#include "scan/ui/dizmain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDate>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <exception>

#include "platform/text.h"
#include "scan/description_extraction.h"
#include "scan/job_seams.h"
#include "scan/scan2_command.h"
#include "scan/scan_job.h"
#include "scan/ui/host_dialogs.h"
#include "scan/ui/log_view.h"
#include "scan/ui/select_archives.h"

namespace lumora::ui {

namespace {

constexpr int kClientWidth = 386;
constexpr int kClientHeight = 361;
constexpr int kButtonSize = 55;

QString U(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// A picture from the program's resources; a null icon when it is missing,
// so the button shows its caption alone.
QIcon Picture(const char* name) {
    const QString path = QStringLiteral(":/pictures/") + QLatin1String(name) + ".svg";
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

QLabel* MakeLamp(QWidget* parent, const char* picture, const QColor& fallback) {
    auto* lamp = new QLabel(parent);
    lamp->setFixedSize(15, 15);
    const QIcon icon = Picture(picture);
    if (!icon.isNull()) {
        lamp->setPixmap(icon.pixmap(15, 15));
    } else {
        lamp->setStyleSheet(
            QStringLiteral("background:%1; border-radius:7px;").arg(fallback.name()));
    }
    return lamp;
}

}  // namespace

TfrmDizMain::TfrmDizMain(AppSession& session, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      log_(*this, session.formats),
      source_(std::make_unique<DescriptionExtraction>(HostHooks(*this))) {
    setObjectName("frmDizMain");
    // The fixed places and panel widths are made for an 11-pixel font.
    QFont small = font();
    small.setPixelSize(11);
    setFont(small);
    setWindowTitle(QStringLiteral("Lumora 1.61"));
    const QIcon programIcon = Picture("program");
    if (!programIcon.isNull()) setWindowIcon(programIcon);
    BuildMenu();
    BuildToolbar();
    BuildClientArea();
    BuildStatusBar();
    BuildLogMenu();
    UpdateLineLimit();
    SetIdle();
    setAcceptDrops(true);
    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
}

TfrmDizMain::~TfrmDizMain() = default;

void TfrmDizMain::BuildMenu() {
    D1 = menuBar()->addMenu(QStringLiteral("&Datei"));
    D1->addAction(QStringLiteral("&Scan I..."), this,
                  [this] { Guarded([this] { btnStartClick(); }); });
    D1->addAction(QStringLiteral("S&can II..."), this,
                  [this] { Guarded([this] { tbtnStart2Click(); }); });
    D1->addSeparator();
    D1->addAction(QStringLiteral("Liste ansehen / dr&ucken..."), this, [this] {
        if (windows.viewList) Guarded(windows.viewList);
    });
    D1->addAction(QStringLiteral("D&rucker einrichten..."), this, [this] {
        if (windows.printerSetup) Guarded(windows.printerSetup);
    });
    D1->addSeparator();
    D1->addAction(QStringLiteral("&Beenden"), this, [this] { btnQuitClick(); });
    Bearbeiten1 = menuBar()->addMenu(QStringLiteral("&Bearbeiten"));
    Bearbeiten1->addAction(QStringLiteral("&Einstellungen..."), this,
                           [this] { Guarded([this] { btnSettingsClick(); }); });
    Hilfe1 = menuBar()->addMenu(QStringLiteral("&Hilfe"));
    Hilfe1->addAction(QStringLiteral("&Inhalt..."), this, [this] {
        if (windows.showHelp) Guarded(windows.showHelp);
    });
    Hilfe1->addAction(QStringLiteral("&Support..."), this, [this] {
        if (windows.showSupport) Guarded(windows.showSupport);
    });
    Hilfe1->addSeparator();
    Hilfe1->addAction(QStringLiteral("Inf&o..."), this,
                      [this] { Guarded([this] { btnInfoClick(); }); });
}

void TfrmDizMain::BuildToolbar() {
    Toolbar971 = new QToolBar(QStringLiteral("Lumora Funktionsleiste"), this);
    Toolbar971->setObjectName("Toolbar971");
    Toolbar971->setAllowedAreas(Qt::TopToolBarArea | Qt::BottomToolBarArea);
    Toolbar971->setMovable(true);
    Toolbar971->setFloatable(true);
    Toolbar971->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar971->setIconSize(QSize(28, 28));
    Toolbar971->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, Toolbar971);
    auto add = [this](const char* caption, const char* picture, const char* name,
                      std::function<void()> command) {
        QAction* action = Toolbar971->addAction(Picture(picture), QString::fromUtf8(caption));
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, command] { Guarded(command); });
        if (QWidget* button = Toolbar971->widgetForAction(action))
            button->setFixedSize(kButtonSize, kButtonSize);
        return action;
    };
    tbtnSetup = add("Setup", "setup", "tbtnSetup", [this] { btnSettingsClick(); });
    Toolbar971->addSeparator();
    tbtnStart = add("Scan I", "scan1", "tbtnStart", [this] { btnStartClick(); });
    tbtnStart2 = add("Scan II", "scan2", "tbtnStart2", [this] { tbtnStart2Click(); });
    tbtnStop = add("Stop", "stop", "tbtnStop", [this] { btnCancelClick(); });
    Toolbar971->addSeparator();
    tbtnInfo = add("Info", "info", "tbtnInfo", [this] { btnInfoClick(); });
    Toolbar971->addSeparator();
    tbtnExit = add("Ende", "exit", "tbtnExit", [this] { btnQuitClick(); });
    tbtnStop->setEnabled(false);
    // The log list box follows the toolbar between dock and floating.
    connect(Toolbar971, &QToolBar::topLevelChanged, this, [this] { PlaceClientControls(); });
}

void TfrmDizMain::BuildClientArea() {
    client_ = new QWidget(this);
    client_->setObjectName("client");
    setCentralWidget(client_);
    lbxProt = MakeLogListBox(client_);
    connect(lbxProt, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { ShowLogMenu(pos); });
    auto field = [this](const char* name) {
        auto* edit = new QLineEdit(client_);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        edit->setFocusPolicy(Qt::NoFocus);
        return edit;
    };
    txtInsgesamt = field("txtInsgesamt");
    txtBearbeitet = field("txtBearbeitet");
    txtAktuelleDatei = field("txtAktuelleDatei");
    Progress1 = new QProgressBar(client_);
    Progress1->setObjectName("Progress1");
    Progress1->setTextVisible(false);
    Progress1->setRange(0, 1);
    Progress1->setValue(0);
    QPalette pal = Progress1->palette();
    pal.setColor(QPalette::Highlight, QColor(0, 0, 128));
    Progress1->setPalette(pal);
    const char* texts[6] = {"Insgesamt zu bearbeiten :", "Kilobytes",
                            "Davon bearbeitet :",        "Kilobytes",
                            "Aktuelle Datei :",          "Fortschritt :"};
    for (int i = 0; i < 6; ++i) captions_[i] = new QLabel(QString::fromUtf8(texts[i]), client_);
    client_->installEventFilter(this);
    PlaceClientControls();
}

void TfrmDizMain::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar1");
    bar->setSizeGripEnabled(false);
    const int widths[3] = {100, 122, 120};
    // A narrower face of the font keeps the panel texts whole in their widths.
    QFont narrow = font();
    narrow.setStretch(QFont::Condensed);
    for (int i = 0; i < 3; ++i) {
        panels_[i] = new QLabel(bar);
        panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels_[i]->setFixedWidth(widths[i]);
        panels_[i]->setFont(narrow);
        panels_[i]->setIndent(2);
        panels_[i]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addWidget(panels_[i]);
    }
    panels_[0]->setText(QStringLiteral("Datum : xx.xx.xxxx"));
    auto* lamps = new QWidget(bar);
    lamps->setFixedSize(15, 15);
    ImageGreen = MakeLamp(lamps, "lamp_green", QColor(0, 200, 0));
    ImageGreen->setObjectName("ImageGreen");
    ImageRed = MakeLamp(lamps, "lamp_red", QColor(220, 0, 0));
    ImageRed->setObjectName("ImageRed");
    bar->addWidget(lamps);
}

void TfrmDizMain::BuildLogMenu() {
    mnuPop1 = new QMenu(this);
    mnuProtZeigen = mnuPop1->addAction(QStringLiteral("Protokoll anzeigen"));
    mnuProtZeigen->setObjectName("mnuProtZeigen");
    mnuProtZeigen->setCheckable(true);
    mnuProtZeigen->setChecked(log_.shown());
    connect(mnuProtZeigen, &QAction::toggled, this, [this](bool on) { log_.SetShown(on); });
    mnuProtLoeschen = mnuPop1->addAction(U("Protokoll l\xc3\xb6schen"));
    mnuProtLoeschen->setObjectName("mnuProtLoeschen");
    connect(mnuProtLoeschen, &QAction::triggered, this,
            [this] { Guarded([this] { log_.ClearWithQuestion(); }); });
    mnuProtSpeichern = mnuPop1->addAction(QStringLiteral("Protokoll speichern als..."));
    mnuProtSpeichern->setObjectName("mnuProtSpeichern");
    connect(mnuProtSpeichern, &QAction::triggered, this,
            [this] { Guarded([this] { log_.SaveWithDialog(session_.dirs.programDir); }); });
    mnuPop1->addSeparator();
    mnuInfo1 = mnuPop1->addAction(QString());
    mnuInfo1->setObjectName("mnuInfo1");
}

void TfrmDizMain::ShowLogMenu(const QPoint& pos) {
    mnuPop1->popup(lbxProt->viewport()->mapToGlobal(pos));
}

void TfrmDizMain::UpdateLineLimit() {
    const int lines = session_.config.settings.Lines;
    log_.SetLineLimit(lines);
    mnuInfo1->setText(U("L\xc3\xb6sche nach : ") + QString::number(lines) +
                      QStringLiteral(" Zeilen"));
}

QRect TfrmDizMain::LogBoxGeometry() const {
    return lbxProt->geometry().translated(0, client_->y() - menuBar()->height());
}

void TfrmDizMain::PlaceClientControls() {
    // Places are given in the client area below the menu bar; the central
    // widget starts below the docked toolbar, or right there when it floats.
    const bool floating = Toolbar971->isFloating();
    const int shift = floating ? 0 : client_->y() - menuBar()->height();
    auto at = [shift](QWidget* w, int x, int y, int width, int height) {
        w->setGeometry(x, y - shift, width, height);
    };
    if (floating)
        at(lbxProt, 5, 10, 376, 211);
    else
        at(lbxProt, 5, 70, 376, 151);
    const int rows[6][4] = {{6, 232, 152, 21},  {270, 232, 70, 21}, {6, 258, 152, 21},
                            {270, 258, 70, 21}, {6, 284, 152, 21},  {6, 310, 152, 16}};
    for (int i = 0; i < 6; ++i) at(captions_[i], rows[i][0], rows[i][1], rows[i][2], rows[i][3]);
    at(txtInsgesamt, 160, 232, 104, 21);
    at(txtBearbeitet, 160, 258, 104, 21);
    at(txtAktuelleDatei, 160, 284, 221, 21);
    at(Progress1, 160, 311, 221, 16);
}

bool TfrmDizMain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize))
        PlaceClientControls();
    return QMainWindow::eventFilter(watched, event);
}

void TfrmDizMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_ && screen()) {
        centred_ = true;
        move(screen()->availableGeometry().center() - frameGeometry().center() + pos());
    }
    panels_[0]->setText(QStringLiteral("Datum : ") +
                        FromAnsi(FormatShortDate(session_.formats, NowLocal())));
    PlaceClientControls();
}

void TfrmDizMain::Guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        MessageBox("Fehler", Utf8ToAnsi(e.what()), MsgIcon::Error, MsgButtons::Ok);
    }
}

void TfrmDizMain::btnStartClick() {
    if (busy_ || selecting_) return;
    ProcessMessages();
    std::optional<ArchiveChoice> choice;
    {
        // The search processes events; Scan I and Scan II wait for its end.
        selecting_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{selecting_};
        choice =
            askArchives ? askArchives() : SelectArchives(this, sourceFolder_, windows.showHelp);
    }
    if (!choice) return;
    sourceFolder_ = choice->sourceFolder;
    RunScanI(choice->archives, choice->sourceFolder);
}

void TfrmDizMain::RunScanI(const std::vector<std::string>& archives,
                           const std::string& sourceFolder) {
    if (busy_) return;
    ScanEnvironment env{session_.config,       session_.formats, *this,   log_,   *source_,
                        session_.dirs.tempDir, nullptr,          nullptr, nullptr};
    env.filterDescription = ConfiguredFilter(session_.config);
    env.workers = DefaultScanWorkers();
    env.makeSource = ExtractionSources();
    env.onCrash = CrashReportHandler(
        *this, {session_.dirs.programDir, session_.dirs.windowsDir, session_.dirs.tempDir});
    ScanJob job(env);
    job_ = &job;
    struct Reset {
        ScanJob*& job;
        ~Reset() { job = nullptr; }
    } reset{job_};
    job.RunCommand(archives, sourceFolder);
    if (quitAfterJob_) close();
}

void TfrmDizMain::tbtnStart2Click() {
    if (busy_ || selecting_) return;
    ScanIIEnvironment env{session_.config, *this, log_, nullptr};
    RunScanIICommand(env);
    if (quitAfterJob_) close();
}

void TfrmDizMain::btnCancelClick() {
    if (job_) job_->RequestCancel();
}

void TfrmDizMain::btnSettingsClick() {
    ProcessMessages();
    if (windows.showSettings) windows.showSettings();
    UpdateLineLimit();
}

void TfrmDizMain::btnInfoClick() {
    if (windows.showAbout) windows.showAbout();
}

void TfrmDizMain::btnQuitClick() {
    ProcessMessages();
    close();
}

void TfrmDizMain::closeEvent(QCloseEvent* event) {
    // The subfolder search runs inside the selection; the window stays.
    if (selecting_) {
        event->ignore();
        return;
    }
    if (quitAfterJob_ && !busy_) {
        event->accept();
        return;
    }
    if (quitAfterJob_ || MessageBox("Lumora", "Lumora wirklich beenden ?", MsgIcon::Question,
                                    MsgButtons::YesNo) != MsgAnswer::Yes) {
        event->ignore();
        return;
    }
    if (busy_) {
        // The running job ends at its next step; the window closes after it.
        quitAfterJob_ = true;
        if (job_) job_->RequestQuit();
        event->ignore();
        return;
    }
    event->accept();
}

namespace {

// The local files and folders of a drop, in the order reported.
std::vector<std::string> DroppedPaths(const QMimeData* data) {
    std::vector<std::string> paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return paths;
}

}  // namespace

void TfrmDizMain::dragEnterEvent(QDragEnterEvent* event) {
    if (!busy_ && !selecting_ && !DroppedPaths(event->mimeData()).empty())
        event->acceptProposedAction();
}

void TfrmDizMain::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths = DroppedPaths(event->mimeData());
    if (paths.empty() || busy_ || selecting_) return;
    event->acceptProposedAction();
    OpenFiles(std::move(paths));
}

void TfrmDizMain::OpenFiles(std::vector<std::string> paths) {
    if (paths.empty() || busy_ || selecting_) return;
    // The job starts once the drop has ended, so the file manager is not
    // held for its whole run.
    QTimer::singleShot(0, this, [this, choice = DroppedChoice(std::move(paths), sourceFolder_)] {
        Guarded([&] { RunScanI(choice.archives, choice.sourceFolder); });
    });
}

void TfrmDizMain::SetCommandsEnabled(bool enabled) {
    for (QAction* a : {tbtnStart, tbtnSetup, tbtnInfo, tbtnExit, tbtnStart2})
        a->setEnabled(enabled);
    tbtnStop->setEnabled(!enabled);
    for (QMenu* m : {D1, Bearbeiten1, Hilfe1}) m->menuAction()->setEnabled(enabled);
}

void TfrmDizMain::SetBusy() {
    busy_ = true;
    ImageGreen->hide();
    ImageRed->show();
    SetCommandsEnabled(false);
    panels_[2]->setText(
        U("Status : Besch\xc3\xa4"
          "ftigt..."));
    statusBar()->repaint();
    ProcessMessages();
}

void TfrmDizMain::SetIdle() {
    busy_ = false;
    ImageRed->hide();
    ImageGreen->show();
    SetCommandsEnabled(true);
    panels_[1]->setText(QStringLiteral("Bearbeitet : 0 Dateien"));
    panels_[2]->setText(QStringLiteral("Status : Leerlauf..."));
    statusBar()->repaint();
}

MsgAnswer TfrmDizMain::MessageBox(const std::string& caption, const std::string& text, MsgIcon icon,
                                  MsgButtons buttons) {
    if (messageBox) return messageBox(caption, text, icon, buttons);
    return ShowMessageBox(this, caption, text, icon, buttons);
}

void TfrmDizMain::ProcessMessages() {
    QApplication::processEvents();
}

void TfrmDizMain::SetTotalField(const std::string& text) {
    txtInsgesamt->setText(FromAnsi(text));
}

void TfrmDizMain::SetProcessedField(const std::string& text) {
    txtBearbeitet->setText(FromAnsi(text));
}

void TfrmDizMain::SetCurrentFileField(const std::string& text) {
    txtAktuelleDatei->setText(FromAnsi(text));
}

void TfrmDizMain::SetGaugeMax(int max) {
    // A maximum of 0 would make Qt animate the bar; one archive shows empty.
    Progress1->setRange(0, max > 0 ? max : 1);
}

void TfrmDizMain::SetGaugePosition(int pos) {
    Progress1->setValue(pos);
}

void TfrmDizMain::SetStatusPanel(int panel, const std::string& text) {
    if (panel >= 0 && panel < 3) panels_[panel]->setText(FromAnsi(text));
}

void TfrmDizMain::LogLineAdded(const std::string& text, LogKind kind) {
    auto* item = new QListWidgetItem(FromAnsi(text));
    item->setData(kLogKindRole, static_cast<int>(kind));
    lbxProt->addItem(item);
}

void TfrmDizMain::LogCleared() {
    lbxProt->clear();
}

void TfrmDizMain::SelectLastLogLine() {
    if (lbxProt->count() > 0) lbxProt->setCurrentRow(lbxProt->count() - 1);
}

std::optional<std::string> TfrmDizMain::AskSaveFileName(const SaveDialogRequest& request) {
    if (askSaveFileName) return askSaveFileName(request);
    return ShowSaveDialog(this, request, lastExtension_);
}

std::optional<std::string> TfrmDizMain::AskFolder(const std::string& title,
                                                  const std::string& caption) {
    if (askFolder) return askFolder(title, caption);
    const QString folder = QFileDialog::getExistingDirectory(
        this, FromAnsi(title), QStringLiteral("/"),
        QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (folder.isEmpty()) return std::nullopt;
    return WithTrailingSlash(folder.toStdString());
}

std::optional<ScanIIOptions> TfrmDizMain::AskScanIIOptions(
    const std::string& caption, const std::vector<std::string>& infoFileList) {
    if (askScanIIOptions) return askScanIIOptions(caption, infoFileList);
    return ScanIIOptions{infoFileList, false};
}

}  // namespace lumora::ui
