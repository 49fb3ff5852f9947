// lumora: the desktop program.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/window_wiring.h"
#include "platform/app_dirs.h"
#include "scan/app_session.h"
#include "scan/ui/dizmain.h"
#include "scan/ui/host_dialogs.h"
#include "scan/ui/startup.h"
#include "settings/settings_store.h"
#include "settings/ui/small_windows.h"
#include "settings/ui/splash.h"

namespace {

// German texts on Qt's own buttons and dialogs.
void InstallQtTranslation(QTranslator& translator) {
    if (translator.load(QLocale(QLocale::German), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&translator);
}

// The files named on the command line (a file manager's "Open with"), as
// absolute host paths; Qt has taken its own options out by now.
std::vector<std::string> FileArguments() {
    std::vector<std::string> paths;
    const QStringList args = QApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (!args[i].startsWith(QLatin1Char('-')))
            paths.push_back(QFile::encodeName(QFileInfo(args[i]).absoluteFilePath()).toStdString());
    }
    return paths;
}

// LUMORA_QUIT_AFTER_MS ends the program that long after its start, also from
// the start-up's dialogs (the install test runs it unattended).
void QuitAfterEnvironmentDelay() {
    const char* ms = std::getenv("LUMORA_QUIT_AFTER_MS");
    if (!ms || !*ms) return;
    auto* timer = new QTimer(qApp);
    // exit() rather than quit(): it ends a dialog's loop too, without asking
    // the windows to close. Repeated, since the main loop may start later.
    QObject::connect(timer, &QTimer::timeout, qApp, [] { QCoreApplication::exit(0); });
    timer->start(std::atoi(ms));
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("lumora %s\n", LUMORA_VERSION);
            return 0;
        }
    }
    QApplication app(argc, argv);
    QuitAfterEnvironmentDelay();
    QApplication::setApplicationName(QStringLiteral("Lumora 1.61"));
    QTranslator translator;
    InstallQtTranslation(translator);

    // The round splash shows while the session and the window are made.
    std::unique_ptr<lumora::TfrmSplash> splash(lumora::ShowSplash());

    lumora::SessionOptions options;
    options.showError = [](const std::string& caption, const std::string& text) {
        lumora::ui::ShowMessageBox(nullptr, caption, text, lumora::MsgIcon::Error,
                                   lumora::MsgButtons::Ok);
    };
    lumora::AppSession session = lumora::StartSession(options);

    lumora::ui::TfrmDizMain window(session);
    lumora::ConnectWindows(window, session);
    // The splash stays above the window shown behind it.
    QTimer::singleShot(0, [&splash] {
        if (splash) splash->raise();
    });
    lumora::ui::StartUpSteps steps;
    steps.needsFirstRunSetup = [&session] {
        return lumora::NeedsFirstRunSetup({lumora::SettingsStorePath(), session.dirs.programDir});
    };
    steps.colourDepth = [&window] { return window.screen() ? window.screen()->depth() : 32; };
    steps.startSplashTimer = [&window, files = FileArguments()](std::function<void()> fired) {
        QTimer::singleShot(lumora::ui::kSplashMilliseconds, [&window, files, fired] {
            fired();
            window.OpenFiles(files);
        });
    };
    steps.hideSplash = [&splash] { splash.reset(); };
    lumora::ui::StartMainWindow(window, session, steps);
    return QApplication::exec();
}
