// The Shrink, Reduce and Implode decoders on streams written here from the
// published method descriptions (independently of the decoders), and ZIP
// members packed with them: corpus archives byte for byte, damaged data,
// the byte limit and a fresh window per member.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <numeric>
#include <random>
#include <set>

#include "archive/archive_test_support.h"
#include "archive/core/error_codes.h"
#include "archive/corpus_manifest.h"
#include "archive/decoders/implode.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "archive/formats/zip/un_zip.h"
#include "archive/legacy_test_support.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::LsbBitWriter;
using test::Outcome;
using DecodeFn = std::function<std::uint64_t(ByteSource&, OutputSink&, std::uint64_t)>;

Outcome DecodeAll(const DecodeFn& decode, const Bytes& stream, std::uint64_t size) {
    // Odd pieces cross every buffer edge.
    return test::RunDecoder(stream, 7,
                            [&](ByteSource& in, OutputSink& out) { return decode(in, out, size); });
}
DecodeFn Shrink() {
    return
        [](ByteSource& in, OutputSink& out, std::uint64_t n) { return DecodeShrink(in, out, n); };
}
DecodeFn Reduce(unsigned factor) {
    return [factor](ByteSource& in, OutputSink& out, std::uint64_t n) {
        return DecodeReduce(in, out, n, factor);
    };
}
DecodeFn Implode(bool large, bool literals) {
    return [large, literals](ByteSource& in, OutputSink& out, std::uint64_t n) {
        return DecodeImplode(in, out, n, {large, literals});
    };
}

std::string Str(const Bytes& b) {
    return std::string(b.begin(), b.end());
}

// What literals and matches produce, bytes before the start reading as 0.
struct Reference {
    Reference& Text(const std::string& s) {
        out.insert(out.end(), s.begin(), s.end());
        return *this;
    }
    Reference& Match(std::size_t distance, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i)
            out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
        return *this;
    }
    Bytes out;
};

// ---- Stream writers ----

// Shrink codes: 9 bits wide, one bit more after each control pair 256, 1.
Bytes ShrinkCodes(std::initializer_list<unsigned> codes) {
    LsbBitWriter w;
    unsigned width = 9, prev = 0;
    for (unsigned c : codes) {
        w.Bits(c, width);
        if (prev == 256 && c == 1) ++width;
        prev = c;
    }
    return w.bytes;
}

// Reduce: follower sets for every byte value, then each byte of the
// run-length layer coded against the set of the byte before it.
struct ReduceEncoder {
    std::vector<std::vector<std::uint8_t>> followers = std::vector<std::vector<std::uint8_t>>(256);

    Bytes Encode(const Bytes& layer) const {
        LsbBitWriter out;
        for (int v = 255; v >= 0; --v) {
            const auto& set = followers[static_cast<std::size_t>(v)];
            out.Bits(static_cast<std::uint32_t>(set.size()), 6);
            for (std::uint8_t b : set) out.Bits(b, 8);
        }
        std::uint8_t last = 0;
        for (std::uint8_t c : layer) {
            const auto& set = followers[last];
            const auto it = std::find(set.begin(), set.end(), c);
            if (!set.empty()) out.Bit(it == set.end());
            if (it == set.end()) {
                out.Bits(c, 8);
            } else {
                unsigned bits = 1;
                while ((1u << bits) < set.size()) ++bits;
                out.Bits(static_cast<std::uint32_t>(it - set.begin()), bits);
            }
            last = c;
        }
        return out.bytes;
    }
};

// The run-length layer of Reduce for one factor: literals (144 escaped) and
// matches of `length` >= 3 bytes from `distance` back.
class ReduceLayer {
public:
    explicit ReduceLayer(unsigned factor) : factor_(factor) {}
    ReduceLayer& Text(const std::string& s) {
        for (char c : s) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            if (bytes.back() == 144) bytes.push_back(0);
        }
        return *this;
    }
    ReduceLayer& Match(unsigned distance, unsigned length) {
        const unsigned mask = 0xFFu >> factor_, d = distance - 1, l = length - 3;
        bytes.push_back(144);
        bytes.push_back(static_cast<std::uint8_t>((d >> 8) << (8 - factor_) | std::min(l, mask)));
        if (l >= mask) bytes.push_back(static_cast<std::uint8_t>(l - mask));
        bytes.push_back(static_cast<std::uint8_t>(d & 0xFF));
        return *this;
    }
    Bytes bytes;

private:
    unsigned factor_;
};

// One Shannon-Fano tree of Implode from bit lengths per symbol, its codes as
// the published method gives them: sorted by length, assigned from the
// longest, bit-reversed.
class SfTree {
public:
    explicit SfTree(std::vector<unsigned> lengths) : lengths_(std::move(lengths)) {
        std::vector<std::size_t> order(lengths_.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return lengths_[a] < lengths_[b]; });
        codes_.resize(lengths_.size());
        std::uint32_t code = 0, increment = 0;
        unsigned lastLength = 0;
        for (std::size_t i = order.size(); i-- > 0;) {
            code += increment;
            const unsigned len = lengths_[order[i]];
            if (len != lastLength) {
                lastLength = len;
                increment = 1u << (16 - len);
            }
            codes_[order[i]] = code >> (16 - len);
        }
    }
    // Count of bytes minus one, then runs of equal lengths of at most 16.
    void WriteDescription(LsbBitWriter& out) const {
        std::vector<std::uint8_t> runs;
        for (std::size_t i = 0; i < lengths_.size();) {
            std::size_t n = 1;
            while (i + n < lengths_.size() && n < 16 && lengths_[i + n] == lengths_[i]) ++n;
            runs.push_back(static_cast<std::uint8_t>(((n - 1) << 4) | (lengths_[i] - 1)));
            i += n;
        }
        out.Bits(static_cast<std::uint32_t>(runs.size() - 1), 8);
        for (std::uint8_t r : runs) out.Bits(r, 8);
    }
    void Write(LsbBitWriter& out, unsigned symbol) const {
        out.Code(codes_[symbol], lengths_[symbol]);
    }

private:
    std::vector<unsigned> lengths_;
    std::vector<std::uint32_t> codes_;
};

// A complete code over 64 or 256 symbols with three lengths: symbol 10
// takes 2 bits, the others alternate between log2(symbols) and one more.
SfTree Uneven(unsigned symbols) {
    unsigned base = 0;
    while ((1u << base) < symbols) ++base;
    unsigned shortLeft = symbols / 2 + 1, longLeft = symbols / 2 - 2;
    std::vector<unsigned> lengths(symbols);
    for (unsigned s = 0; s < symbols; ++s) {
        if (s == 10) {
            lengths[s] = 2;
        } else if (longLeft == 0 || (shortLeft > 0 && s % 2 == 0)) {
            lengths[s] = base, --shortLeft;
        } else {
            lengths[s] = base + 1, --longLeft;
        }
    }
    return SfTree(lengths);
}

// An Implode stream: the trees, then literals and matches.
class ImplodeStream {
public:
    ImplodeStream(bool largeWindow, bool literalTree)
        : lowBits_(largeWindow ? 7 : 6), minMatch_(literalTree ? 3 : 2), literalTree_(literalTree) {
        if (literalTree_) literals_.WriteDescription(out);
        lengths_.WriteDescription(out);
        distances_.WriteDescription(out);
    }
    ImplodeStream& Text(const std::string& s) {
        for (char c : s) {
            out.Bit(1);
            if (literalTree_)
                literals_.Write(out, static_cast<std::uint8_t>(c));
            else
                out.Bits(static_cast<std::uint8_t>(c), 8);
        }
        return *this;
    }
    ImplodeStream& Match(unsigned distance, unsigned length) {
        const unsigned d = distance - 1, l = length - minMatch_;
        out.Bit(0);
        out.Bits(d & ((1u << lowBits_) - 1), lowBits_);
        distances_.Write(out, d >> lowBits_);
        lengths_.Write(out, std::min(l, 63u));
        if (l >= 63) out.Bits(l - 63, 8);
        return *this;
    }
    LsbBitWriter out;

private:
    unsigned lowBits_, minMatch_;
    bool literalTree_;
    SfTree literals_ = Uneven(256), lengths_ = Uneven(64), distances_ = Uneven(64);
};

// ---- Shrink ----

// Valid streams and each error code, with the bytes written before it.
TEST(ShrinkDecoder, Streams) {
    const struct {
        const char* name;
        Bytes stream;
        std::uint64_t size;
        int error;
        std::string out;
    } cases[] = {
        // 257 is not in the table yet: the previous string plus its first byte.
        {"KwKwK", ShrinkCodes({65, 257}), 10, 0, "AAA"},
        {"width grows", ShrinkCodes({65, 256, 1, 66, 257}), 10, 0, "ABAB"},
        // After the clear 257 ("AB") is kept, as 259 ("ABA") extends it; 258
        // and 259 are free again and given out from the lowest.
        {"partial clear", ShrinkCodes({65, 66, 257, 259, 256, 2, 67, 257, 259, 260}), 100, 0,
         "ABABABACABCAABC"},
        {"stops at the size", ShrinkCodes({65, 66, 67}), 2, 0, "AB"},
        {"empty member", {}, 0, 0, ""},
        {"no first code", {}, 10, ecode::BadBlock, ""},
        {"unknown control", ShrinkCodes({65, 256, 3}), 10, ecode::BadBlock, "A"},
        {"first code not a byte", ShrinkCodes({257}), 10, ecode::BadCode, ""},
        {"code not in the table", ShrinkCodes({65, 66, 300}), 10, ecode::BadCode, "AB"},
        {"wider than 13 bits", ShrinkCodes({65, 256, 1, 256, 1, 256, 1, 256, 1, 256, 1}), 10,
         ecode::BadCode, "A"},
        // 257 ("AB") is a leaf when cleared and the lowest free code, so the
        // entry added next names itself as prefix: an endless string.
        {"cycle after a partial clear", ShrinkCodes({65, 66, 257, 256, 2, 67, 257}), 100,
         ecode::StackOverflow, "ABABC"},
        // The first clear keeps 257 as prefix of 259; the second frees it, so
        // 67 adds 257 as 259 plus C, and 259 is 257 plus A: a cycle.
        {"second clear frees the prefix the first kept",
         ShrinkCodes({65, 66, 257, 259, 256, 2, 256, 2, 67, 257}), 100, ecode::StackOverflow,
         "ABABABAC"},
    };
    for (const auto& c : cases) {
        const Outcome o = DecodeAll(Shrink(), c.stream, c.size);
        EXPECT_EQ(o.error, c.error) << c.name;
        EXPECT_EQ(Str(o.out), c.out) << c.name;
    }
}

// Clear codes alone, millions of them: each costs a few steps, not a pass
// over the table (bounded like the hostile inputs of the readers).
TEST(ShrinkDecoder, ClearCodesCostLittle) {
    LsbBitWriter unit;  // four clears fill 72 bits, so the bytes repeat
    for (int i = 0; i < 4; ++i) unit.Bits(256, 9), unit.Bits(2, 9);
    Bytes stream;
    for (int i = 0; i < 1000000; ++i)
        stream.insert(stream.end(), unit.bytes.begin(), unit.bytes.end());
    LsbBitWriter tail;
    tail.Bits(65, 9);
    stream.insert(stream.end(), tail.bytes.begin(), tail.bytes.end());
    const auto start = std::chrono::steady_clock::now();
    const Outcome o = test::RunDecoder(stream, SIZE_MAX, [](ByteSource& in, OutputSink& out) {
        return DecodeShrink(in, out, 100);
    });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(o.error, 0);
    EXPECT_EQ(Str(o.out), "A");
}

// ---- Reduce ----

// Each factor: escaped 144, the longest lengths and the farthest distance
// (before the start: zeros); follower sets of 1, 3 and 34 bytes.
TEST(ReduceDecoder, RoundTripsForEachFactor) {
    for (unsigned factor = 1; factor <= 4; ++factor) {
        SCOPED_TRACE(factor);
        const unsigned mask = 0xFFu >> factor;
        const unsigned farthest = (((0xFFu >> (8 - factor)) << 8) | 0xFF) + 1;
        ReduceLayer layer(factor);
        Reference ref;
        layer.Text("Hello, Lumora! ").Match(15, 30).Text("\x90x");
        ref.Text("Hello, Lumora! ").Match(15, 30).Text("\x90x");
        layer.Match(2, mask + 2).Match(1, mask + 3 + 255).Match(farthest, 5);
        ref.Match(2, mask + 2).Match(1, mask + 3 + 255).Match(farthest, 5);

        ReduceEncoder enc;
        enc.followers['H'] = {'e'};
        enc.followers['l'] = {'l', 'o', 'u'};
        enc.followers[' '] = {'L', 'H', 'x', 144};
        for (std::uint8_t i = 0; i < 30; ++i) enc.followers[' '].push_back(i);
        for (unsigned i = 0; i < 63; ++i)
            enc.followers[144].push_back(static_cast<std::uint8_t>(i * 4 + 1));
        const Outcome o = DecodeAll(Reduce(factor), enc.Encode(layer.bytes), ref.out.size());
        EXPECT_EQ(o.error, 0);
        EXPECT_TRUE(o.out == ref.out);
    }
}

// An index past its set, sets cut short and factor 5 are bad blocks; a byte
// with an empty set is read plain.
TEST(ReduceDecoder, DamagedStreams) {
    auto sets = [](unsigned zeroSetCount) {
        LsbBitWriter w;
        for (int v = 255; v > 0; --v) w.Bits(0, 6);
        w.Bits(zeroSetCount, 6);
        for (unsigned i = 0; i < zeroSetCount; ++i) w.Bits('A' + i, 8);
        return w;
    };
    LsbBitWriter good = sets(3);  // 2-bit indices, only 0..2 valid
    good.Bits(0b010, 3);          // 'B', whose set is empty: a plain byte follows
    good.Bits(0, 8);
    LsbBitWriter bad = sets(3);
    bad.Bits(0b110, 3);
    Bytes cutSets = sets(0).bytes;
    cutSets.resize(cutSets.size() / 2);

    EXPECT_EQ(DecodeAll(Reduce(1), bad.bytes, 10).error, ecode::BadBlock);
    EXPECT_EQ(DecodeAll(Reduce(1), cutSets, 10).error, ecode::BadBlock);
    EXPECT_EQ(DecodeAll(Reduce(5), good.bytes, 10).error, ecode::BadBlock);
    const Outcome ok = DecodeAll(Reduce(1), good.bytes, 2);
    EXPECT_EQ(ok.error, 0);
    EXPECT_EQ(Str(ok.out), std::string("B\0", 2));
}

// ---- Implode ----

// Each window and tree variant: literals, the longest lengths, matches
// before the start (zeros), and a stop at the size inside a match.
TEST(ImplodeDecoder, RoundTripsForEachVariant) {
    for (const bool large : {false, true}) {
        for (const bool literals : {false, true}) {
            SCOPED_TRACE(std::to_string(large) + std::to_string(literals));
            const unsigned window = large ? 8192 : 4096, min = literals ? 3 : 2;
            ImplodeStream s(large, literals);
            Reference ref;
            std::string text = "The quick brown fox \x90 jumps over the lazy dog. ";
            const auto n = static_cast<unsigned>(text.size());
            s.Text(text).Match(n, min).Match(7, min + 62).Match(1, min + 63);
            ref.Text(text).Match(n, min).Match(7, min + 62).Match(1, min + 63);
            s.Match(3, min + 63 + 255).Match(window, 20).Match(window - 1, 4);
            ref.Match(3, min + 63 + 255).Match(window, 20).Match(window - 1, 4);
            text.clear();
            for (unsigned i = 0; i < 256; ++i) text += static_cast<char>(i);
            s.Text(text).Match(300, 100);
            ref.Text(text).Match(300, 100);
            const Outcome o = DecodeAll(Implode(large, literals), s.out.bytes, ref.out.size());
            EXPECT_EQ(o.error, 0);
            EXPECT_TRUE(o.out == ref.out);
            const Outcome cut =
                DecodeAll(Implode(large, literals), s.out.bytes, ref.out.size() - 50);
            EXPECT_EQ(cut.error, 0);
            EXPECT_TRUE(cut.out == Bytes(ref.out.begin(), ref.out.end() - 50));
        }
    }
}

// Only complete trees of the right size are accepted.
TEST(ImplodeDecoder, InvalidTreesAreBadBlocks) {
    auto tree = [](std::initializer_list<std::pair<unsigned, unsigned>> runs) {
        LsbBitWriter w;  // (count, bit length) runs
        std::vector<std::uint8_t> bytes;
        for (auto [count, len] : runs) {
            for (unsigned left = count; left > 0;) {
                const unsigned n = std::min(left, 16u);
                bytes.push_back(static_cast<std::uint8_t>(((n - 1) << 4) | (len - 1)));
                left -= n;
            }
        }
        w.Bits(static_cast<std::uint32_t>(bytes.size() - 1), 8);
        for (auto b : bytes) w.Bits(b, 8);
        return w.bytes;
    };
    const Bytes valid = tree({{64, 6}});
    auto withValid = [&](Bytes first) {
        first.insert(first.end(), valid.begin(), valid.end());
        return first;
    };
    const Bytes cases[] = {
        withValid(tree({{64, 1}})),          // over-subscribed
        withValid(tree({{64, 7}})),          // incomplete
        withValid(tree({{80, 6}})),          // more lengths than symbols
        withValid(tree({{48, 6}})),          // fewer
        withValid(tree({{1, 1}, {63, 7}})),  // a short code off its boundary
        valid,                               // the distance tree missing
        Bytes{0x03, 0xF5},                   // a description cut short
    };
    for (const Bytes& stream : cases) {
        const Outcome o = DecodeAll(Implode(false, false), stream, 100);
        EXPECT_EQ(o.error, ecode::BadBlock);
        EXPECT_TRUE(o.out.empty());
    }
    EXPECT_EQ(DecodeAll(Implode(false, false), withValid(valid), 0).error, 0);
}

// Random bytes, and random bytes after valid trees, never make a decoder
// write past its size, hang or read out of bounds (run under the sanitizers).
TEST(LegacyDecoders, RandomStreamsEndWithinTheirBounds) {
    const std::pair<const char*, DecodeFn> decoders[] = {
        {"shrink", Shrink()},
        {"reduce1", Reduce(1)},
        {"reduce4", Reduce(4)},
        {"implode4k2", Implode(false, false)},
        {"implode8k3", Implode(true, true)},
    };
    const Bytes trees = ImplodeStream(true, true).out.bytes;
    std::mt19937 rng(4711);
    const std::set<int> allowed = {0, ecode::BadBlock, ecode::BadCode, ecode::StackOverflow};
    for (const auto& [name, decode] : decoders) {
        for (int round = 0; round < 300; ++round) {
            Bytes stream = std::string(name) == "implode8k3" && round % 2 ? trees : Bytes{};
            for (std::size_t i = rng() % 3000; i > 0; --i)
                stream.push_back(static_cast<std::uint8_t>(rng()));
            const std::uint64_t size = rng() % 20000;
            const Outcome o = DecodeAll(decode, stream, size);
            EXPECT_LE(o.out.size(), size) << name;
            EXPECT_TRUE(allowed.count(o.error)) << name << " " << o.error;
        }
    }
}

// ---- ZIP members ----

class LegacyZipTest : public test::TempDirTest {
protected:
    void Extract(const fs::path& archive, const std::string& pattern, const std::string& dir,
                 std::uint64_t maxOutput = 0) {
        TUnZIP z;
        log.Attach(z);
        z.SetArchiveFile(archive.string());
        z.SetExtractDir(Path(dir).string());
        z.SetFileSpec(pattern);
        z.UseStoredDirs = true;
        z.MaxOutputBytes = maxOutput;
        z.Extract();
    }
    fs::path Write(const test::ZipBuilder& b) {
        test::WriteFile(Path("test.zip"), b.Build());
        return Path("test.zip");
    }
    static test::TestMember Packed(const std::string& name, std::uint16_t method,
                                   const Bytes& stream, const std::string& data) {
        test::TestMember m = test::Member(name, data, method);
        m.raw = Str(stream);
        return m;
    }
    test::EventLog log;
};

// Every corpus ZIP with a legacy method extracts whole, without a warning,
// and its description byte for byte.
TEST_F(LegacyZipTest, CorpusArchivesExtractWholeAndByteForByte) {
    LUMORA_REQUIRE_CORPUS();
    int archives = 0, descriptions = 0;
    for (const test::CorpusRow& r : test::CorpusRowsOf({"zip"})) {
        if (r.methods.find("shrink") == std::string::npos &&
            r.methods.find("reduce") == std::string::npos &&
            r.methods.find("implode") == std::string::npos)
            continue;
        SCOPED_TRACE(r.path);
        log = {};
        Extract(test::CorpusDir() / r.path, "*.*", r.path);
        EXPECT_TRUE(log.codes.empty()) << log.codes.front();
        EXPECT_TRUE(log.boxes.empty()) << log.boxes.front();
        const auto members = test::SplitText(r.members, '|');
        const auto files = test::FilesBelow(Path(r.path));
        EXPECT_EQ(std::set<std::string>(files.begin(), files.end()),
                  std::set<std::string>(members.begin(), members.end()));
        if (!r.descSha.empty()) {
            const auto expected = test::CorpusDir() / "expected" / r.path / r.descMember;
            EXPECT_EQ(test::ReadFile(Path(r.path) / r.descMember), test::ReadFile(expected));
            ++descriptions;
        }
        ++archives;
    }
    EXPECT_GE(archives, 14);
    EXPECT_GE(descriptions, 9);
}

// A member cut at MaxOutputBytes counts as extracted and passes.
TEST_F(LegacyZipTest, CorpusOutputStopsAtTheByteLimit) {
    LUMORA_REQUIRE_CORPUS();
    for (const char* archive : {"SHRINK.ZIP", "REDUCE3.ZIP", "IMPL8K3T.ZIP"}) {
        SCOPED_TRACE(archive);
        log = {};
        Extract(test::CorpusDir() / "zip" / archive, "README.TXT", archive, 1000);
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Activate", "Begin README.TXT 1",
                                                       "End README.TXT pass", "Deactivate"}));
        EXPECT_EQ(fs::file_size(Path(archive) / "README.TXT"), 1000u);
    }
}

// A decoder error shows its message box, then the CRC warning; the bytes
// decoded before it stay in the file.
TEST_F(LegacyZipTest, DamagedDataShowsTheBoxThenTheCrcWarning) {
    LsbBitWriter trees;  // two trees of 64 one-bit codes: over-subscribed
    for (int i = 0; i < 10; ++i) trees.Bits(i % 5 == 0 ? 3 : 0xF0, 8);
    ReduceEncoder reduce;  // bit 0 (a follower), then index 3 of 3
    reduce.followers[0] = {'A', 'B', 'C'};
    Bytes pastSet = reduce.Encode({});  // 6 * 256 + 24 bits: whole bytes
    pastSet.push_back(0b110);
    const struct {
        const char* name;
        std::uint16_t method;
        Bytes stream;
        int code;
        std::string written;
    } cases[] = {
        {"implode_tree", 6, trees.bytes, ecode::BadBlock, ""},
        {"shrink_code", 1, ShrinkCodes({65, 66, 300}), ecode::BadCode, "AB"},
        {"shrink_stack", 1, ShrinkCodes({65, 66, 257, 256, 2, 67, 257}), ecode::StackOverflow,
         "ABABC"},
        {"reduce_index", 3, pastSet, ecode::BadBlock, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = std::string(c.name) + ".TXT";
        log = {};
        Extract(Write(test::ZipBuilder().Add(Packed(file, c.method, c.stream, "The data."))), "*.*",
                c.name);
        EXPECT_EQ(log.lines, (std::vector<std::string>{"Activate", "Begin " + file + " 1", "Box",
                                                       "Error 25117 " + file,
                                                       "End " + file + " fail", "Deactivate"}));
        ASSERT_EQ(log.boxes.size(), 1u);
        EXPECT_EQ(log.boxes[0], ErrorText(c.code));
        EXPECT_EQ(test::ReadFile(Path(c.name) / file), c.written);
    }
}

// The second member's first match reaches before its start: zeros, not
// bytes of the member before.
TEST_F(LegacyZipTest, EachMemberStartsWithAnEmptyWindow) {
    ReduceLayer fill(1), reach(1);
    ImplodeStream f(false, false);
    ImplodeStream r = f;  // the same trees
    fill.Text("X"), f.Text("X");
    for (int i = 0; i < 20; ++i) fill.Match(1, 150), f.Match(1, 150);
    reach.Match(100, 10).Text("!"), r.Match(100, 10).Text("!");
    const std::string xs(3001, 'X'), zeros = std::string(10, '\0') + "!";
    test::ZipBuilder b;
    b.Add(Packed("R1.BIN", 2, ReduceEncoder().Encode(fill.bytes), xs))
        .Add(Packed("R2.BIN", 2, ReduceEncoder().Encode(reach.bytes), zeros))
        .Add(Packed("I1.BIN", 6, f.out.bytes, xs))
        .Add(Packed("I2.BIN", 6, r.out.bytes, zeros));
    Extract(Write(b), "*.*", "out");
    EXPECT_TRUE(log.codes.empty());
    EXPECT_EQ(test::ReadFile(Path("out/R2.BIN")), zeros);
    EXPECT_EQ(test::ReadFile(Path("out/I2.BIN")), zeros);
    EXPECT_EQ(test::ReadFile(Path("out/I1.BIN")), xs);
}

}  // namespace
}  // namespace lumora::archive
