#include "scan/ui/file_info_call.h"

#include <QApplication>

#include "platform/file_io.h"

namespace lumora::ui {

void ShowFileInformation(const std::string& path) {
    FileHandle file = OpenRegularFile(path, nullptr);
    if (!file.ok()) {
        QApplication::beep();
        return;
    }
    // The file-information window takes the descriptor over; until it is
    // there, the descriptor is closed again.
    file.Close();
}

}  // namespace lumora::ui
