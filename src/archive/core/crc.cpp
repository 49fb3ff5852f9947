#include "archive/core/crc.h"

#include <array>

#include "archive/core/crc_paths.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace lumora::archive {

namespace {

// Slicing-by-16: table k gives the CRC of a byte followed by k zero bytes.
using Crc32Tables = std::array<std::array<std::uint32_t, 256>, 16>;

constexpr Crc32Tables MakeCrc32Tables() {
    Crc32Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        t[0][i] = c;
    }
    for (std::size_t k = 1; k < t.size(); ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
        }
    }
    return t;
}

// The same slicing for CRC-16.
using Crc16Tables = std::array<std::array<std::uint16_t, 256>, 8>;

constexpr Crc16Tables MakeCrc16Tables() {
    Crc16Tables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xA001u : c >> 1;
        t[0][i] = static_cast<std::uint16_t>(c);
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF]);
        }
    }
    return t;
}

constexpr Crc32Tables kCrc32 = MakeCrc32Tables();
constexpr Crc16Tables kCrc16 = MakeCrc16Tables();

std::uint32_t Load32(const std::uint8_t* p) {
    return p[0] | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// The CRC contribution of four bytes (little-endian in `w`) followed by
// `after` more bytes.
inline std::uint32_t Slice(std::size_t after, std::uint32_t w) {
    return kCrc32[after + 3][w & 0xFF] ^ kCrc32[after + 2][(w >> 8) & 0xFF] ^
           kCrc32[after + 1][(w >> 16) & 0xFF] ^ kCrc32[after][w >> 24];
}

// The same constants computed from the reflected polynomial: x^0 is the
// top bit of the register, one step of multiplication by x shifts right and
// reduces what leaves the bottom.
template <typename Reg>
constexpr std::uint64_t ReflectedPower(Reg poly, unsigned e) {
    constexpr unsigned kWidth = sizeof(Reg) * 8;
    std::uint64_t r = std::uint64_t{1} << (kWidth - 1);
    while (e-- > 0) r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
    return r << (33 - kWidth);
}
template <typename Reg>
constexpr bool KeysMatch(const crc_paths::FoldKeys& k, Reg poly) {
    return k.x544 == ReflectedPower(poly, 544) && k.x480 == ReflectedPower(poly, 480) &&
           k.x160 == ReflectedPower(poly, 160) && k.x96 == ReflectedPower(poly, 96);
}
static_assert(KeysMatch(crc_paths::kCrc32Keys, std::uint32_t{0xEDB88320u}));
static_assert(KeysMatch(crc_paths::kCrc16Keys, std::uint16_t{0xA001u}));

#if defined(__x86_64__)

// One fold: both halves of x carried forward by the distance the keys stand
// for, added to the lane found there.
__attribute__((target("pclmul,sse4.1"))) inline __m128i Fold(__m128i x, __m128i keys,
                                                             __m128i next) {
    const __m128i hi = _mm_clmulepi64_si128(x, keys, 0x00);
    const __m128i lo = _mm_clmulepi64_si128(x, keys, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i Lane(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Folds the whole 16-byte lanes of n >= 64 bytes, the register added to the
// first, into one lane whose CRC from a zero register is that of the data.
// Writes that lane to `out` and returns the bytes consumed.
__attribute__((target("pclmul,sse4.1"))) std::size_t FoldLanes(std::uint32_t reg,
                                                               const std::uint8_t* p, std::size_t n,
                                                               const crc_paths::FoldKeys& k,
                                                               std::uint8_t* out) {
    const std::uint8_t* const end = p + (n & ~std::size_t{15});
    const std::uint8_t* q = p;
    __m128i x0 = _mm_xor_si128(Lane(q), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = Lane(q + 16);
    __m128i x2 = Lane(q + 32);
    __m128i x3 = Lane(q + 48);
    q += 64;
    const __m128i by4 =
        _mm_set_epi64x(static_cast<long long>(k.x480), static_cast<long long>(k.x544));
    while (end - q >= 64) {
        x0 = Fold(x0, by4, Lane(q));
        x1 = Fold(x1, by4, Lane(q + 16));
        x2 = Fold(x2, by4, Lane(q + 32));
        x3 = Fold(x3, by4, Lane(q + 48));
        q += 64;
    }
    const __m128i by1 =
        _mm_set_epi64x(static_cast<long long>(k.x96), static_cast<long long>(k.x160));
    __m128i x = Fold(Fold(Fold(x0, by1, x1), by1, x2), by1, x3);
    for (; q != end; q += 16) x = Fold(x, by1, Lane(q));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), x);
    return static_cast<std::size_t>(q - p);
}

#endif

}  // namespace

namespace crc_paths {

std::uint32_t Crc32Slicing(std::uint32_t reg, const std::uint8_t* data, std::size_t n) {
    std::uint32_t c = reg;
    while (n >= 16) {
        const std::uint32_t w0 = Load32(data) ^ c;
        const std::uint32_t w1 = Load32(data + 4);
        const std::uint32_t w2 = Load32(data + 8);
        const std::uint32_t w3 = Load32(data + 12);
        c = Slice(12, w0) ^ Slice(8, w1) ^ Slice(4, w2) ^ Slice(0, w3);
        data += 16;
        n -= 16;
    }
    while (n--) c = Crc32Byte(c, *data++);
    return c;
}

std::uint16_t Crc16Slicing(std::uint16_t reg, const std::uint8_t* data, std::size_t n) {
    std::uint32_t c = reg;
    while (n >= 8) {
        const std::uint32_t lo = Load32(data) ^ c;
        const std::uint32_t hi = Load32(data + 4);
        c = kCrc16[7][lo & 0xFF] ^ kCrc16[6][(lo >> 8) & 0xFF] ^ kCrc16[5][(lo >> 16) & 0xFF] ^
            kCrc16[4][lo >> 24] ^ kCrc16[3][hi & 0xFF] ^ kCrc16[2][(hi >> 8) & 0xFF] ^
            kCrc16[1][(hi >> 16) & 0xFF] ^ kCrc16[0][hi >> 24];
        data += 8;
        n -= 8;
    }
    while (n--) c = kCrc16[0][(c ^ *data++) & 0xFF] ^ (c >> 8);
    return static_cast<std::uint16_t>(c);
}

#if defined(__x86_64__)

bool CarrylessAvailable() {
    static const bool available =
        __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return available;
}

// The folded lane is finished, and the bytes after the last whole lane
// taken, by the slicing code.
std::uint32_t Crc32Folding(std::uint32_t reg, const std::uint8_t* data, std::size_t n) {
    if (n < kFoldMinimum) return Crc32Slicing(reg, data, n);
    std::uint8_t lane[16];
    const std::size_t done = FoldLanes(reg, data, n, kCrc32Keys, lane);
    return Crc32Slicing(Crc32Slicing(0, lane, sizeof lane), data + done, n - done);
}

std::uint16_t Crc16Folding(std::uint16_t reg, const std::uint8_t* data, std::size_t n) {
    if (n < kFoldMinimum) return Crc16Slicing(reg, data, n);
    std::uint8_t lane[16];
    const std::size_t done = FoldLanes(reg, data, n, kCrc16Keys, lane);
    return Crc16Slicing(Crc16Slicing(0, lane, sizeof lane), data + done, n - done);
}

#else

bool CarrylessAvailable() {
    return false;
}

std::uint32_t Crc32Folding(std::uint32_t reg, const std::uint8_t* data, std::size_t n) {
    return Crc32Slicing(reg, data, n);
}

std::uint16_t Crc16Folding(std::uint16_t reg, const std::uint8_t* data, std::size_t n) {
    return Crc16Slicing(reg, data, n);
}

#endif

}  // namespace crc_paths

std::uint32_t Crc32Byte(std::uint32_t reg, std::uint8_t byte) {
    return kCrc32[0][(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

void Crc32::Update(const std::uint8_t* data, std::size_t n) {
    reg_ = n >= crc_paths::kFoldMinimum && crc_paths::CarrylessAvailable()
               ? crc_paths::Crc32Folding(reg_, data, n)
               : crc_paths::Crc32Slicing(reg_, data, n);
}

void Crc16::Update(const std::uint8_t* data, std::size_t n) {
    reg_ = n >= crc_paths::kFoldMinimum && crc_paths::CarrylessAvailable()
               ? crc_paths::Crc16Folding(reg_, data, n)
               : crc_paths::Crc16Slicing(reg_, data, n);
}

}  // namespace lumora::archive
