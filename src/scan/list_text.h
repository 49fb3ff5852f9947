// The character set a list is written in, and how the program's own texts
// (Windows-1252) and the descriptions (in whatever set they were drawn) get
// there.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_pages.h"
#include "settings/app_settings.h"

namespace lumora {

// Windows-1252 passes description bytes on as they are and Cp850 converts
// them from Windows-1252 byte by byte (the two sets of the OEM option);
// Cp437 and Utf8 decode each description in the code page `descriptions`
// gives (nullopt: guessed per description) and encode it again.
class ListText {
public:
    explicit ListText(CodePage output = CodePage::Windows1252,
                      std::optional<CodePage> descriptions = std::nullopt);
    // The set the OEM option chooses.
    static ListText FromSettings(const AppSettings& s);

    CodePage Output() const { return output_; }
    // A text of the program (Windows-1252) in the list's set.
    std::string Program(std::string_view ansi) const;
    // The separator line (Windows-1252); the OEM option leaves it as it is.
    std::string Separator(std::string_view ansi) const;
    // A description's lines in the list's set.
    std::vector<std::string> Description(const std::vector<std::string>& lines) const;
    // A description's lines as UTF-8, decoded as for a UTF-8 list.
    std::vector<std::string> DescriptionUtf8(const std::vector<std::string>& lines) const;
    // Columns of list text, and its first `columns` columns.
    std::size_t Columns(std::string_view text) const;
    std::string_view Prefix(std::string_view text, std::size_t columns) const;

private:
    CodePage DescriptionPage(const std::vector<std::string>& lines) const;

    CodePage output_;
    std::optional<CodePage> descriptions_;
};

}  // namespace lumora
