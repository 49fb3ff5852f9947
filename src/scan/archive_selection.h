// Choosing the archives of a Scan I job: taking over the open dialog's
// choice, the search of the chosen folder's subfolders, the picker's rules
// and dropped files. Host paths; folders end in "/".
#pragma once

#include <sys/types.h>

#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lumora {

// The archives of a job (`ArchiveList`) and the folder they were chosen in
// (`SourceFolder`).
struct ArchiveChoice {
    std::vector<std::string> archives;
    std::string sourceFolder;
};

// The open dialog's confirmation: `SourceFolder` is the dialog's folder with
// a trailing "/", and every chosen name, in the dialog's order, becomes
// `SourceFolder` + its file-name part. Throws std::invalid_argument when the
// folder or a chosen file name is empty.
ArchiveChoice TakeOverDialogChoice(const std::string& shownFolder,
                                   const std::vector<std::string>& chosenNames);

// Dropped items: taken as they are, in the reported order; the folder stays
// the one last chosen in an open dialog.
ArchiveChoice DroppedChoice(std::vector<std::string> items, std::string lastSourceFolder);

// The folder as the search window shows it: unchanged up to 40 characters;
// otherwise its first 3 characters, "..." and the 34 characters before its
// last one (the trailing "/"). Characters are UTF-8 code points.
std::string SearchFolderText(const std::string& folder);

// True for the extensions the subfolder search takes (.ARJ .ZIP .ARC .LHA
// .ZOO .TAR .RAR .CAB, any case): the text from the name's last ".".
bool IsSubfolderArchiveName(const std::string& name);

// Case-insensitive order of Windows-1252 texts, the order of the picker.
void SortFoundArchives(std::vector<std::string>& paths);

// The search of a chosen folder's subfolders for archives. Depth-first, a
// folder's own archives before those of its subfolders; names starting with
// "." are skipped; symbolic links to folders are not followed and every
// folder is searched once. The chosen folder's own files are not taken (they
// come from the dialog).
class SubfolderSearch {
public:
    // Called once per folder with its shortened text; the window shows it
    // and processes pending events there, which may call Cancel().
    using FolderShown = std::function<void(const std::string& shownFolder)>;

    SubfolderSearch(std::string sourceFolder, FolderShown onFolder);

    // Clears the cancel flag and the found list, then searches
    // `sourceFolder` + "*.*". Returns the found archives sorted, or none when
    // the search was cancelled.
    std::vector<std::string> Run();
    // The search window's "&Abbrechen": the search ends at the next folder.
    void Cancel() { cancelled_ = true; }
    bool cancelled() const { return cancelled_; }

    // One folder and, below it, its subfolders: `pathWithMask` is a folder
    // with a trailing "/" followed by a name mask.
    void SearchSubfolders(const std::string& pathWithMask);

private:
    std::string sourceFolder_;
    FolderShown onFolder_;
    bool cancelled_ = false;
    std::vector<std::string> found_;
    std::set<std::pair<dev_t, ino_t>> visited_;
};

// How the picker was closed.
enum class PickerClose { Ok, Cancel, CloseBox };

// The picker's effect on the found archives (one `ticked` entry per row, in
// the same order): "&OK" removes the unticked rows, "&Abbrechen" removes all,
// the close box leaves them all.
void ApplyPickerClose(std::vector<std::string>& found, PickerClose how,
                      const std::vector<bool>& ticked);

// A path's folder part (with its "/") and file-name part.
std::pair<std::string, std::string> SplitFolderAndName(const std::string& path);

}  // namespace lumora
