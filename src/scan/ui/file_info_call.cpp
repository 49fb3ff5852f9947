#include "scan/ui/file_info_call.h"

#include <QApplication>

#include "lmtools/lmtools.h"
#include "platform/file_io.h"

namespace lumora::ui {

void ShowFileInformation(const std::string& path) {
    FileHandle file = OpenRegularFile(path, nullptr);
    if (!file.ok()) {
        QApplication::beep();
        return;
    }
    // The file-information window takes the descriptor over and closes it.
    _GetFileInfo(path.c_str(), file.release());
}

}  // namespace lumora::ui
