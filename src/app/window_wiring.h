// Connects the main window's commands and Scan II questions to the other
// windows of the program.
#pragma once

namespace lumora {
class AppSession;
namespace ui {
class TfrmDizMain;
}

void ConnectWindows(ui::TfrmDizMain& window, AppSession& session);

}  // namespace lumora
