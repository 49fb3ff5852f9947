#include "scan/ui/select_archives.h"

#include <QApplication>
#include <QCursor>

#include "scan/ui/open_dialog.h"
#include "scan/ui/search_info.h"
#include "scan/ui/sub_dirs.h"

namespace lumora::ui {

namespace {

// The hourglass for the time of the search, also when it ends by an
// exception.
struct BusyCursor {
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

std::vector<std::string> SearchWithWindow(QWidget* parent, const std::string& sourceFolder) {
    TfrmSearchInfo window(parent);
    SubfolderSearch search(sourceFolder,
                           [&window](const std::string& shown) { window.ShowFolder(shown); });
    window.onCancel = [&search] { search.Cancel(); };
    window.show();
    std::vector<std::string> found;
    {
        BusyCursor cursor;
        window.animSeek->Start();
        found = search.Run();
        window.animSeek->Stop();
    }
    window.onCancel = nullptr;
    window.close();
    return found;
}

std::optional<ArchiveChoice> SelectArchives(QWidget* parent, const std::string& folder,
                                            const std::function<void()>& showHelp) {
    std::optional<ArchiveChoice> choice;
    bool includeSubfolders = false;
    {
        TfrmOpen dialog(folder, parent);
        dialog.showHelp = showHelp;
        dialog.exec();
        choice = dialog.Choice();
        includeSubfolders = dialog.IncludeSubfolders();
    }
    if (!choice || !includeSubfolders) return choice;

    std::vector<std::string> found = SearchWithWindow(parent, choice->sourceFolder);
    if (found.empty()) return choice;
    TfrmSubDirs picker(choice->sourceFolder, found, parent);
    picker.exec();
    ApplyPickerClose(found, picker.closedBy(), picker.Ticked());
    choice->archives.insert(choice->archives.end(), found.begin(), found.end());
    return choice;
}

}  // namespace lumora::ui
