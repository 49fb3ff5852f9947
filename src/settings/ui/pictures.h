// The pictures of the small windows, from the program's picture resources
// (data/pictures, compiled into the program).
#pragma once

#include <QPixmap>
#include <QString>

namespace lumora {

enum class SmallPicture { Splash, Tip, Support, About };

// The picture at `size` x `size` pixels.
QPixmap LoadSmallPicture(SmallPicture which, int size);

// The company text shown beside the product name ("Kestrel's").
inline constexpr const char* kCompanyText = "Kestrel's";
inline constexpr const char* kProductName = "Lumora";
inline constexpr const char* kVersionText = "1.61";

}  // namespace lumora
