// Deflate streams that refer to bytes before their own output (a preset
// window, as the data blocks of a cabinet folder do): made by zlib with a
// dictionary and decoded with that dictionary as history.
#include <gtest/gtest.h>

#include <random>

#include "archive/decoders/inflate.h"
#include "cab_builder.h"

namespace lumora::archive {
namespace {

using Bytes = std::string;

Bytes Pseudo(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    Bytes b(n, '\0');
    for (char& c : b) c = static_cast<char>('a' + rng() % 16);
    return b;
}

InflateResult Decode(const Bytes& stream, const Bytes& history, Bytes& out) {
    cabarc::StringSource src(stream, 32768);
    cabarc::StringSink sink;
    InflateOptions opt;
    opt.history = {reinterpret_cast<const std::uint8_t*>(history.data()), history.size()};
    const InflateResult r = Inflate(src, sink, opt);
    out = sink.bytes;
    return r;
}

TEST(InflateHistory, MatchesReachIntoThePresetBytes) {
    struct Case {
        std::size_t historySize;
        std::size_t dataSize;
    };
    // Short history; a full window; more than a window (only its end
    // counts); output that wraps the decoder's own window.
    for (const Case c :
         {Case{100, 200}, Case{32768, 5000}, Case{50000, 5000}, Case{32768, 100000}}) {
        SCOPED_TRACE(c.historySize);
        const Bytes history = Pseudo(c.historySize, 1);
        const Bytes dict =
            history.substr(history.size() - std::min<std::size_t>(history.size(), 32768));
        Bytes data;  // pieces of the dictionary
        for (std::size_t i = 0; data.size() < c.dataSize; i += 997)
            data += dict.substr(i % (dict.size() - 40), 40);
        data.resize(c.dataSize);
        const Bytes stream = cabarc::RawDeflate(data, dict);
        ASSERT_LT(stream.size(), data.size() / 4) << "the stream must use the history";
        Bytes out;
        EXPECT_EQ(Decode(stream, history, out).status, InflateStatus::kDone);
        EXPECT_TRUE(out == data);
    }
}

TEST(InflateHistory, ADistanceBeyondTheKnownBytesIsDamage) {
    const Bytes history = Pseudo(1000, 2);
    const Bytes stream = cabarc::RawDeflate(history.substr(0, 500), history);  // 1000 back
    Bytes out;
    EXPECT_EQ(Decode(stream, "", out).status, InflateStatus::kDataError);
    EXPECT_EQ(Decode(stream, history.substr(600), out).status, InflateStatus::kDataError);
    EXPECT_EQ(Decode(stream, history, out).status, InflateStatus::kDone);
    EXPECT_EQ(out, history.substr(0, 500));
}

}  // namespace
}  // namespace lumora::archive
