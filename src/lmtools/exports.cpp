// The two entry points of the library. Nothing but these leaves it; no
// exception crosses them.
#include <QApplication>

#include <memory>
#include <string>

#include "lmtools/contents_window.h"
#include "lmtools/file_info_window.h"
#include "lmtools/lmtools.h"
#include "platform/file_io.h"

namespace {

// The QApplication the windows run on: the caller's, or one made for the time
// of the call when the caller has none (a program without Qt).
class ApplicationScope {
public:
    ApplicationScope() {
        if (!QCoreApplication::instance()) own_ = std::make_unique<QApplication>(argc_, argv_);
    }
    ApplicationScope(const ApplicationScope&) = delete;
    ApplicationScope& operator=(const ApplicationScope&) = delete;

    // False when the caller runs a QCoreApplication, which shows no windows.
    bool CanShowWindows() const {
        return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    }

private:
    // QApplication keeps references to these for its whole life.
    int argc_ = 1;
    char name_[8] = "lmtools";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> own_;
};

QWidget* CallerWindow() {
    return QApplication::activeModalWidget() ? QApplication::activeModalWidget()
                                             : QApplication::activeWindow();
}

}  // namespace

extern "C" bool _Display_Contents(const char* path) {
    if (!path) return false;
    try {
        ApplicationScope app;
        if (!app.CanShowWindows()) return false;
        return lumora::lmtools::DisplayContents(path, lumora::LocaleFormats::FromCLocale(),
                                                CallerWindow());
    } catch (...) {
        return false;
    }
}

extern "C" void _GetFileInfo(const char* path, int fd) {
    lumora::FileHandle file(fd);  // closed here unless the window takes it
    if (!path) return;
    try {
        ApplicationScope app;
        if (!app.CanShowWindows()) return;
        const lumora::LocaleFormats formats = lumora::LocaleFormats::FromCLocale();
        lumora::lmtools::GetFileInfo(path, file.release(), formats, CallerWindow());
    } catch (...) {
        // The window is gone; the descriptor was closed by it or stays with `file`.
    }
}
