// Deflate streams that refer to bytes before their own output (a preset
// window, as the data blocks of a cabinet folder do): made by zlib with a
// dictionary and decoded with that dictionary as history.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "archive/decoders/inflate.h"

namespace lumora::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;

class Source : public ByteSource {
public:
    explicit Source(const Bytes& data) : data_(data) {}
    std::size_t Read(std::uint8_t* dst, std::size_t n) override {
        n = std::min(n, data_.size() - pos_);
        std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), n, dst);
        pos_ += n;
        return n;
    }

private:
    const Bytes& data_;
    std::size_t pos_ = 0;
};

class Sink : public OutputSink {
public:
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
    }
    Bytes bytes;
};

// Raw Deflate of `data` by zlib with `dict` as its preset dictionary.
Bytes DeflateWithDictionary(const Bytes& data, const Bytes& dict) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY), Z_OK);
    if (!dict.empty()) {
        EXPECT_EQ(deflateSetDictionary(&z, dict.data(), static_cast<uInt>(dict.size())), Z_OK);
    }
    Bytes out(deflateBound(&z, data.size()) + 64);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

Bytes Pseudo(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n);
    for (auto& c : b) c = static_cast<std::uint8_t>('a' + rng() % 16);
    return b;
}

struct Result {
    InflateResult r;
    Bytes out;
};

Result Decode(const Bytes& stream, const Bytes& history) {
    Source src(stream);
    Sink sink;
    InflateOptions opt;
    opt.history = history;
    const InflateResult r = Inflate(src, sink, opt);
    return {r, sink.bytes};
}

TEST(InflateHistory, MatchesReachIntoThePresetBytes) {
    struct Case {
        const char* what;
        std::size_t historySize;
        std::size_t dataSize;
    };
    const Case cases[] = {
        {"short history, short data", 100, 200},
        {"full window of history", 32768, 5000},
        {"history longer than the window", 50000, 5000},
        {"output wraps the window", 32768, 100000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes history = Pseudo(c.historySize, 1);
        // The data repeats pieces of the history's last 32 KB.
        Bytes data;
        const std::size_t from = history.size() - std::min<std::size_t>(history.size(), 32768);
        for (std::size_t i = 0; data.size() < c.dataSize; i += 997) {
            const std::size_t at = from + i % (history.size() - from - 40);
            data.insert(data.end(), history.begin() + static_cast<std::ptrdiff_t>(at),
                        history.begin() + static_cast<std::ptrdiff_t>(at + 40));
        }
        data.resize(c.dataSize);
        const Bytes dict(history.begin() + static_cast<std::ptrdiff_t>(from), history.end());
        const Bytes stream = DeflateWithDictionary(data, dict);
        ASSERT_LT(stream.size(), data.size() / 4) << "the stream must use the history";

        const Result got = Decode(stream, history);
        EXPECT_EQ(got.r.status, InflateStatus::kDone);
        EXPECT_EQ(got.out, data);
        EXPECT_EQ(got.r.produced, data.size());
    }
}

TEST(InflateHistory, ADistanceBeyondTheKnownBytesIsDamage) {
    const Bytes history = Pseudo(1000, 2);
    const Bytes data(history.begin(), history.begin() + 500);  // reaches 1000 back
    const Bytes stream = DeflateWithDictionary(data, history);

    const Result without = Decode(stream, {});
    EXPECT_EQ(without.r.status, InflateStatus::kDataError);

    const Bytes shorter(history.begin() + 600, history.end());  // only the last 400
    const Result cut = Decode(stream, shorter);
    EXPECT_EQ(cut.r.status, InflateStatus::kDataError);

    EXPECT_EQ(Decode(stream, history).out, data);
}

}  // namespace
}  // namespace lumora::archive
