// The window test classes run by the window test program.
#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace lumora::test {

using GuiTestFactory = std::function<std::unique_ptr<QObject>()>;

std::vector<GuiTestFactory> GuiTestClasses();

}  // namespace lumora::test
