#include "app/window_wiring.h"

#include <QGuiApplication>
#include <QScreen>
#include <QString>

#include "print/ui/list_printing.h"
#include "scan/app_session.h"
#include "scan/ui/dizmain.h"
#include "scan/ui/scan2_dialogs.h"
#include "scan/ui/select_archives.h"
#include "settings/settings_store.h"
#include "settings/ui/settings_dialog.h"
#include "settings/ui/small_windows.h"

namespace lumora {

void ConnectWindows(ui::TfrmDizMain& window, AppSession& session) {
    ui::TfrmDizMain* w = &window;
    w->askFolder = [w](const std::string& title, const std::string& caption) {
        return AskFolder(title, caption, w);
    };
    w->askScanIIOptions = [w](const std::string& caption, const std::vector<std::string>& names) {
        return AskScanIIOptions(caption, names, w);
    };
    w->askArchives = [w] { return ui::SelectArchives(w, w->sourceFolder(), w->windows.showHelp); };
    w->windows.showAbout = [w] { ShowAbout(w); };
    w->windows.showSupport = [w] { ShowSupport(w); };
    const QString programDir = QString::fromStdString(session.dirs.programDir);
    w->windows.showHelp = [w, programDir] { ShowHelp(w, programDir); };
    AppSession* s = &session;
    w->windows.showTip = [w, s] {
        ShowTipOfTheDay(w, s->config, {SettingsStorePath(), s->dirs.programDir});
    };
    // The colour depth is measured once, for the settings dialog's hint.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int depth = screen != nullptr ? screen->depth() : 32;
    w->windows.showSettings = [w, s, depth] {
        SettingsDialogOptions options;
        options.colourDepth = depth;
        options.onSaved = [w] { w->UpdateLineLimit(); };
        ShowSettingsDialog(w, s->config, {SettingsStorePath(), s->dirs.programDir}, options);
    };

    // The list viewer and the printer it shares with the printer setup.
    auto* lists = new print::ListPrinting(session.config.settings, w);
    w->windows.viewList = [lists] { lists->ViewList(); };
    w->windows.printerSetup = [lists] { lists->PrinterSetup(); };
}

}  // namespace lumora
