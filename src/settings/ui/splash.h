// The round splash window shown while the main window is being built.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>

namespace lumora {

class TfrmSplash : public QWidget {
public:
    static constexpr int kSize = 250;
    static constexpr int kDelayMs = 2000;

    explicit TfrmSplash(QWidget* parent = nullptr);

    // Starts the one-shot timer; when it fires the splash hides and then
    // `whenGone` runs (the tip of the day, enabling the main window).
    void StartTimer(std::function<void()> whenGone, int delayMs = kDelayMs);

    // The ellipse with the corners (1, 1) and (250, 250) that the window is
    // cut to.
    static QRegion Shape();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPixmap picture_;
    QTimer timer_;
    std::function<void()> whenGone_;
};

}  // namespace lumora
