// The support window: the project's web address and mail address as links.
#pragma once

#include <QDialog>

#include "settings/ui/small_windows.h"

class QLabel;

namespace lumora {

inline constexpr const char* kSupportWebAddress = "https://lumora.example.org";
inline constexpr const char* kSupportMailAddress = "lumora@example.org";
inline constexpr const char* kCannotOpenLinkText =
    "Der Standard-Browser / Mailer kann nicht aufgerufen werden";

class TfrmSupport : public QDialog {
public:
    // `opener` asks the desktop to open an address; empty means
    // QDesktopServices::openUrl.
    explicit TfrmSupport(QWidget* parent = nullptr, UrlOpener opener = {});

    QLabel* WebLink() const { return lblWeb_; }
    QLabel* MailLink() const { return lblMail_; }

    // Opens the web address or "mailto:" + the mail address with the busy
    // cursor showing; warns when the desktop cannot.
    void OpenLink(const QString& target);

private:
    UrlOpener opener_;
    QLabel* lblWeb_ = nullptr;
    QLabel* lblMail_ = nullptr;
};

}  // namespace lumora
