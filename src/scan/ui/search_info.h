// The search window `TfrmSearchInfo` shown while the subfolders of the chosen
// folder are searched, and its busy animation.
#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTimer;

namespace lumora::ui {

// A ring of segments whose bright end turns while the animation runs.
class BusyAnimation : public QWidget {
public:
    explicit BusyAnimation(QWidget* parent = nullptr);
    void Start();
    void Stop();
    bool running() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QTimer* timer_ = nullptr;
    int step_ = 0;
};

// "Dateien suchen...": a small tool window on top, not modal. "&Abbrechen",
// the close box and Esc call `onCancel`.
class TfrmSearchInfo : public QDialog {
public:
    explicit TfrmSearchInfo(QWidget* parent = nullptr);

    // Shows the folder being searched and processes pending events, so the
    // window stays painted and its button works.
    void ShowFolder(const std::string& shownFolder);

    std::function<void()> onCancel;
    QLabel* lblInfo = nullptr;
    BusyAnimation* animSeek = nullptr;
    QPushButton* btnCancel = nullptr;

    void reject() override;

private:
    void btnCancelClick();
};

}  // namespace lumora::ui
