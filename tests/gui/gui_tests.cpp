#include "gui/gui_tests.h"

namespace lumora::test {

std::unique_ptr<QObject> MakeMainWindowTest();

std::vector<GuiTestFactory> GuiTestClasses() {
    return {MakeMainWindowTest};
}

}  // namespace lumora::test
