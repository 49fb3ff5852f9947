// lumora: the desktop program.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTimer>
#include <QTranslator>
#include <memory>

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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    steps.startSplashTimer = [](std::function<void()> fired) {
        QTimer::singleShot(lumora::ui::kSplashMilliseconds, std::move(fired));
    };
    steps.hideSplash = [&splash] { splash.reset(); };
    lumora::ui::StartMainWindow(window, session, steps);
    return QApplication::exec();
}
