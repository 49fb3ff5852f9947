// The small progress window of a print job: status, job title and page.
#pragma once

#include <QDialog>

class QLabel;

namespace lumora::print {

class TPrntProgDlg : public QDialog {
public:
    TPrntProgDlg();

    // Shows the window centred on the screen with the status, the job's
    // title and the page number, and paints it at once.
    void Update(const QString& status, const QString& title, int page);

    QString StatusText() const;
    QString PageText() const;

private:
    QLabel* status_;
    QLabel* title_;
    QLabel* page_;
};

}  // namespace lumora::print
