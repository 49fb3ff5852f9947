// Test data for the Deflate benchmarks: 4 MB of text-like and of
// binary-like bytes, and zlib's raw Deflate of them.
#pragma once

#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/decoders/decoder_io.h"
#include "raw_deflate.h"

namespace lumora::bench {

// Takes a decoder's output and only counts it.
class DiscardSink : public archive::OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        benchmark::DoNotOptimize(data);
        total += n;
    }
    std::size_t total = 0;
};

inline constexpr std::size_t kDataSize = 4 << 20;

// Words drawn with a skewed distribution, in lines: compresses like prose.
inline Bytes MakeText() {
    std::mt19937 rng(11);
    std::vector<std::string> words;
    for (int i = 0; i < 2000; ++i) {
        std::string w;
        const int len = 2 + static_cast<int>(rng() % 9);
        for (int c = 0; c < len; ++c) w += static_cast<char>('a' + rng() % 26);
        words.push_back(w);
    }
    std::geometric_distribution<int> pick(0.01);
    Bytes out;
    int column = 0;
    while (out.size() < kDataSize) {
        const std::string& w = words[static_cast<std::size_t>(pick(rng)) % words.size()];
        out.insert(out.end(), w.begin(), w.end());
        column += static_cast<int>(w.size()) + 1;
        if (column > 70) {
            out.push_back('\r');
            out.push_back('\n');
            column = 0;
        } else {
            out.push_back(rng() % 12 == 0 ? ',' : ' ');
        }
    }
    out.resize(kDataSize);
    return out;
}

// Records of counters, small numbers, repeated opcode-like runs and noise.
inline Bytes MakeBinary() {
    std::mt19937 rng(12);
    const std::uint8_t patterns[][6] = {{0x55, 0x8B, 0xEC, 0x83, 0xEC, 0x10},
                                        {0x8B, 0x45, 0x08, 0x50, 0xE8, 0x00},
                                        {0x5D, 0xC3, 0x90, 0x90, 0x90, 0x90}};
    Bytes out;
    std::uint32_t counter = 0;
    while (out.size() < kDataSize) {
        const unsigned kind = rng() % 8;
        if (kind < 3) {
            out.insert(out.end(), patterns[kind], patterns[kind] + 6);
        } else if (kind < 5) {
            counter += rng() % 64;
            for (int i = 0; i < 4; ++i)
                out.push_back(static_cast<std::uint8_t>(counter >> (8 * i)));
        } else if (kind < 7) {
            out.push_back(static_cast<std::uint8_t>(rng() % 16));
            out.push_back(0);
        } else {
            for (int i = 0; i < 12; ++i) out.push_back(static_cast<std::uint8_t>(rng()));
        }
    }
    out.resize(kDataSize);
    return out;
}

}  // namespace lumora::bench
