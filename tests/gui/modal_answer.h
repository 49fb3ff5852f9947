// Answers the next modal window from a timer, since exec() blocks the test.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

namespace lumora::test {

// Waits until a modal window other than `outer` is active, then hands it to
// `answer`; gives up after about five seconds.
inline void AnswerNextModal(std::function<void(QWidget*)> answer, QWidget* outer = nullptr) {
    auto* timer = new QTimer;
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, outer, answer] {
        QWidget* modal = QApplication::activeModalWidget();
        if ((modal && modal != outer) || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            if (modal && modal != outer) answer(modal);
        }
    });
    timer->start(10);
}

}  // namespace lumora::test
