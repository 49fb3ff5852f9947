// The archive-contents window `TfrmInhalt`: lists an archive with the lister
// and shows one row per member, modally, unless the listing reported an error.
#pragma once

#include <QDialog>

#include <string>

#include "archive/lister/zip_tv.h"
#include "platform/locale_formats.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace lumora::lmtools {

class TfrmInhalt : public QDialog {
public:
    // `path`: the archive, a host path (UTF-8). Message boxes shown while
    // the window is not yet open stand above `parent`.
    TfrmInhalt(const std::string& path, const LocaleFormats& formats, QWidget* parent = nullptr);

    // Lists the archive, then shows the window modally when no error was
    // reported. False when an exception ended the listing.
    bool Run();

    QLabel* Label1 = nullptr;
    QLabel* lblFile = nullptr;
    QLabel* Label3 = nullptr;
    QTreeWidget* lvwInhalt = nullptr;
    QPushButton* btnClose = nullptr;
    archive::TZipTV ZipTV1;

private:
    void BuildList();
    void PlaceControls();
    void ZipTV1Read(const archive::TZipTV& lister);
    void ZipTV1Error(const std::string& fileName, int code);

    std::string path_;
    LocaleFormats formats_;
    bool listingError_ = false;
};

// Shows the contents window for `path`; the result of _Display_Contents.
bool DisplayContents(const std::string& path, const LocaleFormats& formats, QWidget* parent);

}  // namespace lumora::lmtools
