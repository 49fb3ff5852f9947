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

// The folding constants of crc_paths.h derived again, from the reflected
// polynomial: x^0 is the top bit of the register, one step of multiplication
// by x shifts right and reduces what leaves the bottom.
template <typename Reg>
constexpr std::uint64_t ReflectedPower(Reg poly, unsigned e) {
    constexpr unsigned kWidth = sizeof(Reg) * 8;
    std::uint64_t r = std::uint64_t{1} << (kWidth - 1);
    while (e-- > 0) r = (r & 1) ? (r >> 1) ^ poly : r >> 1;
    return r << (33 - kWidth);
}
template <typename Reg>
constexpr bool KeysMatch(const crc_paths::FoldKeys& k, Reg poly) {
    return k.x2080 == ReflectedPower(poly, 2080) && k.x2016 == ReflectedPower(poly, 2016) &&
           k.x544 == ReflectedPower(poly, 544) && k.x480 == ReflectedPower(poly, 480) &&
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

__attribute__((target("pclmul,sse4.1"))) inline __m128i Keys(std::uint64_t lo, std::uint64_t hi) {
    return _mm_set_epi64x(static_cast<long long>(hi), static_cast<long long>(lo));
}

// Folds 16-byte lanes from `q` up to `end` into x, then writes x to `out`.
__attribute__((target("pclmul,sse4.1"))) void FinishLanes(__m128i x, const std::uint8_t* q,
                                                          const std::uint8_t* end,
                                                          const crc_paths::FoldKeys& k,
                                                          std::uint8_t* out) {
    const __m128i by1 = Keys(k.x160, k.x96);
    for (; q != end; q += 16) x = Fold(x, by1, Lane(q));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), x);
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
    const __m128i by4 = Keys(k.x544, k.x480);
    for (q += 64; end - q >= 64; q += 64) {
        x0 = Fold(x0, by4, Lane(q));
        x1 = Fold(x1, by4, Lane(q + 16));
        x2 = Fold(x2, by4, Lane(q + 32));
        x3 = Fold(x3, by4, Lane(q + 48));
    }
    const __m128i by1 = Keys(k.x160, k.x96);
    FinishLanes(Fold(Fold(Fold(x0, by1, x1), by1, x2), by1, x3), q, end, k, out);
    return static_cast<std::size_t>(end - p);
}

#define LUMORA_WIDE_TARGET __attribute__((target("pclmul,sse4.1,avx512f,vpclmulqdq")))

// The same fold on four lanes per instruction.
LUMORA_WIDE_TARGET inline __m512i Fold4(__m512i x, __m512i keys, __m512i next) {
    const __m512i hi = _mm512_clmulepi64_epi128(x, keys, 0x00);
    const __m512i lo = _mm512_clmulepi64_epi128(x, keys, 0x11);
    return _mm512_ternarylogic_epi64(hi, lo, next, 0x96);  // hi ^ lo ^ next
}

LUMORA_WIDE_TARGET inline __m512i Keys4(std::uint64_t lo, std::uint64_t hi) {
    const auto l = static_cast<long long>(lo);
    const auto h = static_cast<long long>(hi);
    return _mm512_set_epi64(h, l, h, l, h, l, h, l);
}

// FoldLanes for n >= 256 bytes with 512-bit registers: sixteen lanes in
// flight, brought down to four and then to one.
LUMORA_WIDE_TARGET std::size_t FoldWideLanes(std::uint32_t reg, const std::uint8_t* p,
                                             std::size_t n, const crc_paths::FoldKeys& k,
                                             std::uint8_t* out) {
    const std::uint8_t* const end = p + (n & ~std::size_t{15});
    const std::uint8_t* q = p;
    const __m512i first = _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg)));
    __m512i z0 = _mm512_xor_si512(_mm512_loadu_si512(q), first);
    __m512i z1 = _mm512_loadu_si512(q + 64);
    __m512i z2 = _mm512_loadu_si512(q + 128);
    __m512i z3 = _mm512_loadu_si512(q + 192);
    const __m512i by16 = Keys4(k.x2080, k.x2016);
    for (q += 256; end - q >= 256; q += 256) {
        z0 = Fold4(z0, by16, _mm512_loadu_si512(q));
        z1 = Fold4(z1, by16, _mm512_loadu_si512(q + 64));
        z2 = Fold4(z2, by16, _mm512_loadu_si512(q + 128));
        z3 = Fold4(z3, by16, _mm512_loadu_si512(q + 192));
    }
    const __m512i by4 = Keys4(k.x544, k.x480);
    __m512i z = Fold4(Fold4(Fold4(z0, by4, z1), by4, z2), by4, z3);
    for (; end - q >= 64; q += 64) z = Fold4(z, by4, _mm512_loadu_si512(q));
    alignas(64) std::uint8_t four[64];
    _mm512_store_si512(four, z);
    const __m128i by1 = Keys(k.x160, k.x96);
    const __m128i x = Fold(Fold(Fold(Lane(four), by1, Lane(four + 16)), by1, Lane(four + 32)), by1,
                           Lane(four + 48));
    FinishLanes(x, q, end, k, out);
    return static_cast<std::size_t>(end - p);
}

#undef LUMORA_WIDE_TARGET

// Folds n >= 64 bytes on a folding path into one lane (`lane`), returning
// the bytes consumed; the slicing code finishes the lane and the bytes after
// it.
std::size_t FoldInto(crc_paths::CrcPath path, std::uint32_t reg, const std::uint8_t* data,
                     std::size_t n, const crc_paths::FoldKeys& keys, std::uint8_t* lane) {
    if (path == crc_paths::CrcPath::Folding512 && n >= crc_paths::kWideFoldMinimum) {
        return FoldWideLanes(reg, data, n, keys, lane);
    }
    return FoldLanes(reg, data, n, keys, lane);
}

#endif

}  // namespace

namespace crc_paths {

bool PathAvailable(CrcPath path) {
#if defined(__x86_64__)
    static const bool narrow = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    static const bool wide =
        narrow && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
    switch (path) {
        case CrcPath::Slicing:
            return true;
        case CrcPath::Folding128:
            return narrow;
        case CrcPath::Folding512:
            return wide;
    }
#endif
    return path == CrcPath::Slicing;
}

CrcPath FastestPath() {
    static const CrcPath fastest = PathAvailable(CrcPath::Folding512)   ? CrcPath::Folding512
                                   : PathAvailable(CrcPath::Folding128) ? CrcPath::Folding128
                                                                        : CrcPath::Slicing;
    return fastest;
}

std::uint32_t Crc32On(CrcPath path, std::uint32_t reg, const std::uint8_t* data, std::size_t n) {
#if defined(__x86_64__)
    if (path != CrcPath::Slicing && n >= kFoldMinimum) {
        std::uint8_t lane[16];
        const std::size_t done = FoldInto(path, reg, data, n, kCrc32Keys, lane);
        return Crc32Slicing(Crc32Slicing(0, lane, sizeof lane), data + done, n - done);
    }
#endif
    (void)path;
    return Crc32Slicing(reg, data, n);
}

std::uint16_t Crc16On(CrcPath path, std::uint16_t reg, const std::uint8_t* data, std::size_t n) {
#if defined(__x86_64__)
    if (path != CrcPath::Slicing && n >= kFoldMinimum) {
        std::uint8_t lane[16];
        const std::size_t done = FoldInto(path, reg, data, n, kCrc16Keys, lane);
        return Crc16Slicing(Crc16Slicing(0, lane, sizeof lane), data + done, n - done);
    }
#endif
    (void)path;
    return Crc16Slicing(reg, data, n);
}

}  // namespace crc_paths

std::uint32_t Crc32Byte(std::uint32_t reg, std::uint8_t byte) {
    return kCrc32[0][(reg ^ byte) & 0xFF] ^ (reg >> 8);
}

void Crc32::Update(const std::uint8_t* data, std::size_t n) {
    reg_ = n < crc_paths::kFoldMinimum
               ? Crc32Slicing(reg_, data, n)
               : crc_paths::Crc32On(crc_paths::FastestPath(), reg_, data, n);
}

void Crc16::Update(const std::uint8_t* data, std::size_t n) {
    reg_ = n < crc_paths::kFoldMinimum
               ? Crc16Slicing(reg_, data, n)
               : crc_paths::Crc16On(crc_paths::FastestPath(), reg_, data, n);
}

}  // namespace lumora::archive
