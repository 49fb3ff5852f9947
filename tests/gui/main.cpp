// Runs every window test class of this program in one QApplication.
#include <QApplication>
#include <QtTest>

#include "gui/gui_tests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    for (auto& make : lumora::test::GuiTestClasses()) {
        const std::unique_ptr<QObject> tests = make();
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
