// The desktop program's start-up after the session is made: the first-run
// welcome and settings dialog, the splash timer, the tip of the day, and the
// main window enabled at the end.
#pragma once

#include <functional>

namespace lumora {
class AppSession;
}

namespace lumora::ui {

class TfrmDizMain;

struct StartUpSteps {
    // Bits per pixel of the display; 8 or less brings a notice.
    std::function<int()> colourDepth;
    // True when the welcome and the settings dialog are due.
    std::function<bool()> needsFirstRunSetup;
    // Starts the splash timer; `fired` runs when it expires.
    std::function<void(std::function<void()> fired)> startSplashTimer;
    std::function<void()> hideSplash;
};

inline constexpr int kSplashMilliseconds = 2000;
inline constexpr const char* kFewColoursText =
    "Ihr System unterst\xc3\xbctzt nur 256 oder weniger Farben.\rUm Lumora ohne "
    "Einschr\xc3\xa4nkungen nutzen zu k\xc3\xb6nnen, sollten Sie die Farbanzahl auf mehr als "
    "256 erh\xc3\xb6hen.";

// Shows the window disabled, runs the first-run test (welcome box, then the
// window's settings command), starts the splash timer; when it fires the
// splash goes, the tip window comes when `Tip` is on, and the window is
// enabled.
void StartMainWindow(TfrmDizMain& window, AppSession& session, const StartUpSteps& steps);

}  // namespace lumora::ui
