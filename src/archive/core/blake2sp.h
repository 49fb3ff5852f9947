// BLAKE2s (32-bit words, 64-byte blocks, up to 32-byte digests) and the
// tree mode BLAKE2sp built on it: eight leaves take the input in turns of
// 64-byte blocks, and a root hashes the eight leaf digests. RAR 5 archives
// may hold a member's BLAKE2sp digest instead of its CRC-32.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lumora::archive {

using Blake2Digest = std::array<std::uint8_t, 32>;

// The parameter block fields that tree hashing sets (no key, salt or
// personalisation).
struct Blake2sParams {
    std::uint8_t digestLength = 32;  // 1 ... 32
    std::uint8_t fanout = 1;
    std::uint8_t depth = 1;
    std::uint32_t leafLength = 0;
    std::uint64_t nodeOffset = 0;  // 48 bits
    std::uint8_t nodeDepth = 0;
    std::uint8_t innerLength = 0;
    bool lastNode = false;  // the last node of its level in a tree
};

class Blake2s {
public:
    explicit Blake2s(const Blake2sParams& p = {});
    void Update(const std::uint8_t* data, std::size_t n);
    // The digest; its first digestLength bytes count. The hash is finished
    // afterwards: further updates are not meant.
    Blake2Digest Final();

private:
    static constexpr std::size_t kBlock = 64;
    void Compress(const std::uint8_t* block, bool last);

    std::array<std::uint32_t, 8> h_{};
    std::uint64_t counter_ = 0;  // bytes compressed, with the current block
    std::array<std::uint8_t, kBlock> buf_{};
    std::size_t bufLen_ = 0;
    std::uint8_t digestLength_;
    bool lastNode_;
};

class Blake2sp {
public:
    Blake2sp();
    void Update(const std::uint8_t* data, std::size_t n);
    Blake2Digest Final();

private:
    static constexpr std::size_t kLeaves = 8;
    static constexpr std::size_t kStripe = 64;

    std::array<Blake2s, kLeaves> leaves_;
    std::uint64_t total_ = 0;  // bytes so far: where the next one goes
};

}  // namespace lumora::archive
