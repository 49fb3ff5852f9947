#include "scan/list_text.h"

#include "platform/text.h"

namespace lumora {

ListText::ListText(CodePage output, std::optional<CodePage> descriptions)
    : output_(output), descriptions_(descriptions) {}

ListText ListText::FromSettings(const AppSettings& s) {
    return ListText(s.OEM ? CodePage::Cp850 : CodePage::Windows1252);
}

std::string ListText::Program(std::string_view ansi) const {
    switch (output_) {
        case CodePage::Windows1252:
            return std::string(ansi);
        case CodePage::Cp850:
            return AnsiToOem(ansi);
        default:
            return EncodeCodePage(AnsiToUtf8(ansi), output_);
    }
}

std::string ListText::Separator(std::string_view ansi) const {
    return output_ == CodePage::Cp850 ? std::string(ansi) : Program(ansi);
}

CodePage ListText::DescriptionPage(const std::vector<std::string>& lines) const {
    return descriptions_ ? *descriptions_ : GuessDescriptionCodePage(lines);
}

std::vector<std::string> ListText::Description(const std::vector<std::string>& lines) const {
    if (output_ == CodePage::Windows1252 || output_ == CodePage::Cp850) {
        std::vector<std::string> out;
        for (const auto& line : lines) out.push_back(Program(line));
        return out;
    }
    std::vector<std::string> out = DescriptionUtf8(lines);
    if (output_ != CodePage::Utf8) {
        for (auto& line : out) line = EncodeCodePage(line, output_);
    }
    return out;
}

std::vector<std::string> ListText::DescriptionUtf8(const std::vector<std::string>& lines) const {
    const CodePage page = DescriptionPage(lines);
    std::vector<std::string> out;
    out.reserve(lines.size());
    for (const auto& line : lines) out.push_back(DecodeCodePage(line, page));
    return out;
}

std::size_t ListText::Columns(std::string_view text) const {
    return output_ == CodePage::Utf8 ? Utf8Length(text) : text.size();
}

std::string_view ListText::Prefix(std::string_view text, std::size_t columns) const {
    return output_ == CodePage::Utf8 ? Utf8Prefix(text, columns) : text.substr(0, columns);
}

}  // namespace lumora
