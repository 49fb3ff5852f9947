#include "settings/tips.h"

#include "platform/file_io.h"
#include "platform/text.h"

namespace lumora {

namespace {

// A tips file larger than this is not a tips file; reading stops there.
constexpr std::size_t kMaxTipsBytes = 1u << 20;

bool IsBlank(const std::string& line) {
    return line.find_first_not_of(" \t") == std::string::npos;
}

// The length of the UTF-8 sequence that starts with `lead`, 0 when it
// cannot start one; `min` is the smallest code point it may encode.
int SequenceLength(unsigned char lead, unsigned& min) {
    if (lead < 0x80) return min = 0, 1;
    if (lead >= 0xC2 && lead <= 0xDF) return min = 0x80, 2;
    if (lead >= 0xE0 && lead <= 0xEF) return min = 0x800, 3;
    if (lead >= 0xF0 && lead <= 0xF4) return min = 0x10000, 4;
    return 0;
}

}  // namespace

bool IsValidUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        unsigned min = 0;
        const int n = SequenceLength(lead, min);
        if (n == 0 || bytes.size() - i < static_cast<std::size_t>(n)) return false;
        unsigned code = n == 1 ? lead : lead & (0x7Fu >> n);
        for (int k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            if ((c & 0xC0) != 0x80) return false;
            code = (code << 6) | (c & 0x3Fu);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<std::string> LoadTips(const std::string& programDir) {
    std::string bytes;
    if (!ReadRegularFile(programDir + kTipsFileName, kMaxTipsBytes, bytes, nullptr)) return {};
    const bool utf8 = IsValidUtf8(bytes);
    std::vector<std::string> tips;
    for (std::string& line : SplitTextLines(bytes)) {
        if (IsBlank(line)) continue;
        tips.push_back(utf8 ? std::move(line) : AnsiToUtf8(line));
    }
    return tips;
}

std::optional<std::string> PickTip(const std::vector<std::string>& tips, std::mt19937& random) {
    if (tips.empty()) return std::nullopt;
    std::uniform_int_distribution<std::size_t> pick(0, tips.size() - 1);
    return tips[pick(random)];
}

}  // namespace lumora
