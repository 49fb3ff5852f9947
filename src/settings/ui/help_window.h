// The help window: the program's German HTML help in a text browser, so it
// works without a web browser.
#pragma once

#include <QWidget>

class QTextBrowser;

namespace lumora {

inline constexpr const char* kHelpPage = "help/lumora.html";
// The single-page name the program folder may hold instead of help/.
inline constexpr const char* kHelpPageFlat = "Lumora.html";

class THelpWindow : public QWidget {
    Q_OBJECT

public:
    THelpWindow(QWidget* parent, const QString& programDir);

    // Shows the start page, or its section `anchor`.
    void ShowTopic(const QString& anchor);
    QTextBrowser* Browser() const { return browser_; }
    // The help page found in the program folder, empty when there is none.
    QString PagePath() const { return page_; }

private:
    QString page_;
    QTextBrowser* browser_ = nullptr;
};

}  // namespace lumora
