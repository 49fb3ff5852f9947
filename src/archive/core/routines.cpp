#include "archive/core/routines.h"

#include <charconv>

namespace lumora::archive {

std::uint64_t ParseOctal(std::string_view text) {
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '7') value = value * 8 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::string NextVolumeName(const std::string& archiveName, std::string& counter) {
    long n = 0;
    std::from_chars(counter.data(), counter.data() + counter.size(), n);
    ++n;
    counter = std::to_string(n);
    const auto slash = archiveName.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = archiveName.find('.', nameStart);
    const std::string base = archiveName.substr(0, dot);
    if (n < 1 || n >= 1000) return {};
    const std::string ext = n < 10 ? "A0" + counter : n < 100 ? "A" + counter : counter;
    return base + "." + ext;
}

std::uint8_t CompressionRatio(std::uint64_t packed, std::uint64_t unpacked) {
    if (packed == 0 || unpacked == 0 || unpacked <= packed) return 0;
    if (unpacked - packed > 100000) {
        packed /= 100;
        unpacked /= 100;
    }
    if (unpacked == 0) return 1;
    // After the division above `saved * 100` cannot overflow.
    const std::uint64_t saved = unpacked > packed ? unpacked - packed : 0;
    const auto ratio = static_cast<std::uint8_t>(saved * 100 / unpacked);
    return ratio == 0 ? 1 : ratio;
}

}  // namespace lumora::archive
