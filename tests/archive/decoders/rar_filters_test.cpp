// The standard RAR filters on byte patterns worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "archive/decoders/rar_filters.h"

namespace lumora::archive::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Le32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// CALL/JMP operands: absolute targets inside the 16 MiB address space turn
// relative to the byte after the opcode; others stay; the last 4 bytes are
// never an opcode.
TEST(RarFiltersTest, E8AndE9Operands) {
    struct Case {
        const char* name;
        Bytes in;
        std::uint32_t fileOffset;
        bool e9;
        Bytes want;
    };
    const std::vector<Case> cases = {
        {"positive target", Cat({{0xE8}, Le32(0x1000), {0}}), 0x10, false,
         Cat({{0xE8}, Le32(0x1000 - 0x11), {0}})},
        {"target beyond 16 MiB", Cat({{0xE8}, Le32(0x1000000), {0}}), 0, false,
         Cat({{0xE8}, Le32(0x1000000), {0}})},
        {"negative target reaching back into the file", Cat({{0x90, 0xE8}, Le32(0xFFFFFFFE), {0}}),
         0, false, Cat({{0x90, 0xE8}, Le32(0xFFFFFFFE + 0x1000000), {0}})},
        {"negative target before the file", Cat({{0xE8}, Le32(0xFFFFFF00), {0}}), 0x10, false,
         Cat({{0xE8}, Le32(0xFFFFFF00), {0}})},
        {"E9 only in the E8E9 variant", Cat({{0xE9}, Le32(0x20), {0}}), 0, false,
         Cat({{0xE9}, Le32(0x20), {0}})},
        {"E9 converted", Cat({{0xE9}, Le32(0x20), {0}}), 0, true, Cat({{0xE9}, Le32(0x1F), {0}})},
        {"operand bytes are skipped", Cat({{0xE8}, {0xE8, 0, 0, 0}, {0}}), 0, false,
         Cat({{0xE8}, Le32(0xE8 - 1), {0}})},
        {"opcode in the last 4 bytes", Bytes{0, 0xE8, 1, 0, 0}, 0, false, Bytes{0, 0xE8, 1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes data = c.in;
        RarFilterE8(data, c.fileOffset, c.e9);
        EXPECT_EQ(data, c.want);
    }
}

// Bit fields of a 16-byte bundle, LSB first.
void SetBits(Bytes& b, unsigned pos, unsigned count, std::uint32_t v) {
    for (unsigned i = 0; i < count; ++i, ++pos) {
        const auto bit = static_cast<std::uint8_t>(1u << (pos % 8));
        b[pos / 8] = static_cast<std::uint8_t>((v >> i) & 1 ? b[pos / 8] | bit : b[pos / 8] & ~bit);
    }
}

// Branch targets in the slots a template marks, only with opcode 5, turn
// relative to the bundle number.
TEST(RarFiltersTest, ItaniumBranchTargets) {
    Bytes data(32, 0);
    data[0] = 0x10;  // template 0x10: slot 2 may branch
    SetBits(data, 2 * 41 + 5 + 37, 4, 5);
    SetBits(data, 2 * 41 + 5 + 13, 20, 0x12345);
    SetBits(data, 1 * 41 + 5 + 37, 4, 5);  // slot 1: not marked
    SetBits(data, 1 * 41 + 5 + 13, 20, 0x777);
    Bytes want = data;
    SetBits(want, 2 * 41 + 5 + 13, 20, 0x12345 - 2);
    RarFilterItanium(data, 0x20);  // bundle number 2
    EXPECT_EQ(data, want);

    Bytes other(32, 0);
    other[0] = 0x14;  // template without branch slots
    SetBits(other, 2 * 41 + 5 + 37, 4, 5);
    const Bytes same = other;
    RarFilterItanium(other, 0x20);
    EXPECT_EQ(other, same);
}

// Delta: channels stored one after the other as differences.
TEST(RarFiltersTest, DeltaChannels) {
    const Bytes src = {1, 2, 3, 4, 5, 6};
    Bytes dst(6);
    ASSERT_TRUE(RarFilterDelta(src, dst, 2));
    EXPECT_EQ(dst, (Bytes{0xFF, 0xFC, 0xFD, 0xF7, 0xFA, 0xF1}));
    EXPECT_FALSE(RarFilterDelta(src, dst, 0));
    EXPECT_FALSE(RarFilterDelta(src, dst, 1025));
}

// RGB: 2 x 2 pixels, lines 6 bytes apart. Red of the last pixel follows the
// pixel above (the predictor's closest guess), green is added to red and blue.
TEST(RarFiltersTest, RgbPrediction) {
    const Bytes src = {246, 216, 30, 0, 251, 0, 0, 0, 0, 0, 0, 0};
    Bytes dst(12);
    ASSERT_TRUE(RarFilterRgb(src, dst, 9, 0));
    EXPECT_EQ(dst, (Bytes{15, 5, 5, 55, 5, 5, 25, 5, 5, 55, 5, 5}));
    EXPECT_FALSE(RarFilterRgb(src, dst, 9, 3));   // red after blue
    EXPECT_FALSE(RarFilterRgb(src, dst, 16, 0));  // lines longer than the block
}

// Audio: before the first adaptation the predictor is the last sample, so
// each channel is a running difference.
TEST(RarFiltersTest, AudioStartsAsRunningDifference) {
    const Bytes src = {1, 2, 3, 10, 20, 30};
    Bytes dst(6);
    ASSERT_TRUE(RarFilterAudio(src, dst, 2));
    EXPECT_EQ(dst, (Bytes{0xFF, 0xF6, 0xFD, 0xE2, 0xFA, 0xC4}));
    EXPECT_FALSE(RarFilterAudio(src, dst, 0));
}

TEST(RarFiltersTest, UnknownProgramsAreNotStandard) {
    EXPECT_EQ(IdentifyRarFilter(Bytes(53, 0)), RarFilterKind::kUnknown);
    EXPECT_EQ(IdentifyRarFilter(Bytes{}), RarFilterKind::kUnknown);
}

}  // namespace
}  // namespace lumora::archive::test
