#include "gui/gui_tests.h"

namespace lumora::test {

std::unique_ptr<QObject> MakeMainWindowTest();
std::unique_ptr<QObject> MakeStartUpTest();
std::unique_ptr<QObject> MakeHostDialogsTest();

std::vector<GuiTestFactory> GuiTestClasses() {
    return {MakeMainWindowTest, MakeStartUpTest, MakeHostDialogsTest};
}

}  // namespace lumora::test
