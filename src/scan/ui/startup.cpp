#include "scan/ui/startup.h"

#include "platform/text.h"
#include "scan/app_session.h"
#include "scan/ui/dizmain.h"
#include "settings/settings_store.h"

namespace lumora::ui {

void StartMainWindow(TfrmDizMain& window, AppSession& session, const StartUpSteps& steps) {
    window.setEnabled(false);
    window.show();
    if (steps.colourDepth && steps.colourDepth() <= 8)
        window.MessageBox("Hinweis", Utf8ToAnsi(kFewColoursText), MsgIcon::None, MsgButtons::Ok);
    if (steps.needsFirstRunSetup && steps.needsFirstRunSetup()) {
        window.MessageBox(kWelcomeCaption, kWelcomeText, MsgIcon::Information, MsgButtons::Ok);
        window.btnSettingsClick();
    }
    auto fired = [&window, &session, hide = steps.hideSplash] {
        if (hide) hide();
        if (session.config.settings.Tip && window.windows.showTip) window.windows.showTip();
        window.setEnabled(true);
    };
    if (steps.startSplashTimer)
        steps.startSplashTimer(fired);
    else
        fired();
}

}  // namespace lumora::ui
