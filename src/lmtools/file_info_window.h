// The file-information window `TfrmFileInfo`: name, size, time stamps, links,
// volume number and attribute boxes of one file, read from its descriptor.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

#include "lmtools/window_texts.h"
#include "platform/locale_formats.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace lumora::lmtools {

using FactsReader = std::function<std::optional<FileFacts>(int fd)>;

class TfrmFileInfo : public QDialog {
public:
    // `path`: the file, a host path (UTF-8), kept for "Zeige &Inhalt...".
    TfrmFileInfo(const std::string& path, const LocaleFormats& formats, QWidget* parent = nullptr);

    // Reads what the system knows of `fd` with `reader`, closes `fd` right
    // after, whatever the answer, and fills the fields; they stay "#" when
    // nothing is known. An exception while filling shows the error box.
    void Fill(int fd, const FactsReader& reader = ReadFileFacts);

    QLabel* lblFilename = nullptr;
    QLabel* lblFileSize = nullptr;
    QLabel* lblCreation = nullptr;
    QLabel* lblLastAccess = nullptr;
    QLabel* lblLastWritten = nullptr;
    QLabel* lblLinks = nullptr;
    QLabel* lblSerial = nullptr;
    QCheckBox* chkArchive = nullptr;
    QCheckBox* chkHidden = nullptr;
    QCheckBox* chkSystem = nullptr;
    QCheckBox* chkReadOnly = nullptr;
    QCheckBox* chkCompressed = nullptr;
    QPushButton* btnView = nullptr;
    QPushButton* btnClose = nullptr;

private:
    void BuildFields();
    void BuildAttributes();
    void BuildButtons();
    void SetFields(const FileFacts& facts);
    void AttributeClick(QCheckBox* box, bool checked);
    void btnViewClick();

    std::string path_;
    LocaleFormats formats_;
};

// Shows the window for `path`, read from `fd` (taken over and closed).
void GetFileInfo(const std::string& path, int fd, const LocaleFormats& formats, QWidget* parent,
                 const FactsReader& reader = ReadFileFacts);

}  // namespace lumora::lmtools
