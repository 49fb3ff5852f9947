// The about box "Info...".
#pragma once

#include <QDialog>

class QLabel;

namespace lumora {

class TfrmInfo : public QDialog {
public:
    explicit TfrmInfo(QWidget* parent = nullptr);

    QLabel* VersionLabel() const { return lblVersion_; }

protected:
    // The version label is set whenever the box becomes active.
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QLabel* lblVersion_ = nullptr;
};

}  // namespace lumora
