// Entry points of the small windows: splash, tip of the day, support, about
// box and help.
#pragma once

#include <QString>
#include <functional>

class QUrl;
class QWidget;

namespace lumora {

struct Configuration;
struct SettingsLocation;
class TfrmSplash;

// Asks the desktop to open a web or mail address; false when it cannot.
using UrlOpener = std::function<bool(const QUrl&)>;

// Creates the round splash, shows it and paints it at once. The caller owns
// it and calls StartTimer when the main window is built.
TfrmSplash* ShowSplash(QWidget* parent = nullptr);

// The tip of the day, modal. The check box writes `Tip` through SaveSettings
// at each click.
void ShowTipOfTheDay(QWidget* parent, Configuration& config, const SettingsLocation& where);
// The start-up rule: the tip window only when `Tip` is on. True when shown.
bool ShowTipAtStart(QWidget* parent, Configuration& config, const SettingsLocation& where);

// The support window, modal. `opener` defaults to the desktop's handler.
void ShowSupport(QWidget* parent, UrlOpener opener = {});

// The about box "Info...", modal.
void ShowAbout(QWidget* parent);

// The help window on the German help in programDir (help/lumora.html), not
// modal; an open help window of the same parent is reused. `anchor` names a
// section ("scan1", "einstellungen", ...), empty for the start page.
QWidget* ShowHelp(QWidget* parent, const QString& programDir, const QString& anchor = {});

}  // namespace lumora
