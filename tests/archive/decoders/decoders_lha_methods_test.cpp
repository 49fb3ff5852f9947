// The -lz5- method on hand-made streams: its window starts with a fixed
// pattern that matches may copy from.
#include <gtest/gtest.h>

#include "archive/core/error_codes.h"
#include "archive/decoders/lz5.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive::test {
namespace {

// A match copying `len` bytes from absolute window position `from`.
std::string Match(unsigned from, unsigned len) {
    return {static_cast<char>(from & 0xFF), static_cast<char>((from >> 4 & 0xF0) | (len - 3))};
}

// A flag byte: bit i set makes item i a literal.
std::string Flags(unsigned bits) {
    return std::string(1, static_cast<char>(bits));
}

Outcome Lz5(const std::string& stream, std::uint64_t size, std::size_t chunk = SIZE_MAX) {
    return RunDecoder(ToBytes(stream), chunk,
                      [&](ByteSource& in, OutputSink& out) { return DecodeLz5(in, out, size); });
}

// Flag bits, lowest first: 1 a literal, 0 a match. Writing starts at
// position 4078.
TEST(Lz5Test, DecodesLiteralsAndMatchesIntoTheStartPattern) {
    struct Case {
        const char* what;
        std::string stream;
        std::string want;
    };
    const Case cases[] = {
        {"literals", Flags(0xFF) + "abcdefgh", "abcdefgh"},
        {"runs of each value", Flags(0) + Match(13 * 'A', 13), std::string(13, 'A')},
        {"values rising", Flags(0) + Match(13 * 256 + 'a', 5), "abcde"},
        {"values falling", Flags(0) + Match(13 * 256 + 256 + (255 - 'z'), 4), "zyxw"},
        {"zeros", Flags(0) + Match(3840 + 5, 6), std::string(6, '\0')},
        {"blanks", Flags(0) + Match(4000, 18), std::string(18, ' ')},
        {"overlapping repeat", Flags(1) + "x" + Match(4078, 7), std::string(8, 'x')},
        {"after wrapping round",
         Flags(0xFF) + std::string(8, 'q') + Flags(0xFF) + std::string(8, 'r') + Flags(0xFF) +
             "stuvwxyz" + Flags(0) + Match(4078 + 20 - 4096, 3),
         std::string(8, 'q') + std::string(8, 'r') + "stuvwxyz" + "wxy"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const std::size_t chunk : {std::size_t{1}, SIZE_MAX}) {
            const Outcome o = Lz5(c.stream, c.want.size(), chunk);
            EXPECT_EQ(o.error, 0);
            EXPECT_EQ(std::string(o.out.begin(), o.out.end()), c.want);
        }
    }
}

// The output stops at the original size, even inside a match; input that
// ends first, inside a flag byte's items or a match, is the read error after
// the bytes before it.
TEST(Lz5Test, StopsAtTheSizeOrTheEndOfTheInput) {
    const Outcome cut = Lz5(Flags(0) + Match(13 * 'A', 10), 4);
    EXPECT_EQ(cut.error, 0);
    EXPECT_EQ(std::string(cut.out.begin(), cut.out.end()), "AAAA");
    const std::pair<std::string, std::string> ended[] = {
        {Flags(3) + "ab", "ab"},                              // the third item is missing
        {Flags(1) + "a" + Match(4000, 5).substr(0, 1), "a"},  // half a match
        {"", ""},
    };
    for (const auto& [stream, before] : ended) {
        const Outcome o = Lz5(stream, 100);
        EXPECT_EQ(o.error, ecode::ReadError);
        EXPECT_EQ(std::string(o.out.begin(), o.out.end()), before);
    }
}

}  // namespace
}  // namespace lumora::archive::test
