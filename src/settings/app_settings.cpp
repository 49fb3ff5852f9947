#include "settings/app_settings.h"

#include <algorithm>

namespace lumora {

AppSettings AppSettings::Defaults() {
    AppSettings s;
    s.Resume = false;
    s.OEM = false;
    s.Divide = true;
    s.RemoveEmpty = true;
    s.ShortName = true;
    s.Remove = false;
    s.RemoveChar = false;
    s.RemoveLine = false;
    s.UseFilter = false;
    s.Size = false;
    s.Tip = true;
    s.SourceDir = true;
    s.DivisionChar = " ";
    s.DivisionCharHex = "020";
    s.DivisionCharInt = "32";
    s.Font1Name = "System";
    s.Align = 1;
    s.Design = static_cast<int>(DisplayMode::FirstFull);
    s.Font1Size = 8;
    s.Width = 60;
    s.Width2 = 80;
    s.Space1 = 1;
    s.Space2 = 1;
    s.Space3 = 1;
    s.Lines = 200;
    s.Browser = 0;
    s.Mode = static_cast<int>(LineFilterMode::Contains);
    return s;
}

void ClampToDialogRanges(AppSettings& s) {
    s.Width = std::clamp(s.Width, 1, 60);
    s.Width2 = std::clamp(s.Width2, 1, kSeparatorLineLength);
    s.Space1 = std::clamp(s.Space1, 1, 10);
    s.Space2 = std::clamp(s.Space2, 1, 10);
    s.Space3 = std::clamp(s.Space3, 1, 10);
    s.Lines = std::clamp(s.Lines, 1, 10000);
    s.Align = s.Align != 0 ? 1 : 0;
    if (s.Font1Size <= 0) s.Font1Size = 8;
}

void FillSeparatorLine(Configuration& config) {
    if (config.settings.DivisionChar.empty()) return;
    config.SeparatorLine.assign(kSeparatorLineLength, config.settings.DivisionChar.front());
}

std::string SeparatorText(const Configuration& config) {
    const int width = std::clamp(config.settings.Width2, 0, kSeparatorLineLength);
    return config.SeparatorLine.substr(0, static_cast<std::size_t>(width));
}

}  // namespace lumora
