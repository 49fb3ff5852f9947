// ARJ methods 1 to 4 against archives made here by arj: text, long runs,
// and repeats reaching back almost the whole 26624-byte window. (The corpus
// archives of every LZH, ARJ and ZOO method are checked through the readers.)
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <tuple>

#include "archive/archive_test_support.h"
#include "archive/decoders/arj_method4.h"
#include "archive/decoders/static_huffman.h"
#include "archive/legacy_test_support.h"

namespace lumora::archive {
namespace {

using test::Bytes;

struct ArjMember {
    std::string name;
    int method;
    std::size_t offset, packed, original;
};

// The members of an archive arj made: the main header, then each local
// header (its extended headers skipped) and the member's data.
std::vector<ArjMember> WalkArj(const Bytes& b) {
    auto le = [&b](std::size_t at, int width) {
        std::size_t v = 0;
        for (int i = width; i-- > 0;) v = v << 8 | b.at(at + static_cast<std::size_t>(i));
        return v;
    };
    std::vector<ArjMember> out;
    std::size_t o = 0;
    for (bool first = true; o + 4 <= b.size() && b[o] == 0x60 && b[o + 1] == 0xEA; first = false) {
        const std::size_t n = le(o + 2, 2), h = o + 4;
        if (n == 0) break;
        std::size_t p = h + n + 4;
        while (const std::size_t ext = le(p, 2)) p += 2 + ext + 4;
        p += 2;
        if (!first) {
            out.push_back({reinterpret_cast<const char*>(&b[h + b[h]]), b[h + 5], p, le(h + 12, 4),
                           le(h + 16, 4)});
            p += out.back().packed;
        }
        o = p;
    }
    return out;
}

class DecodersGenerated : public test::TempDirTest {};

// Each method's members decode to their files; the one-byte file is stored.
TEST_F(DecodersGenerated, ArjMethods1To4) {
    if (!test::HaveTool("arj")) GTEST_SKIP() << "arj not installed";
    std::mt19937 rng(21);
    std::map<std::string, std::string> files;
    const char* words[] = {"archive ", "file ", "list ", "board ", "the ",   "of ",
                           "upload ",  "door ", "game ", "\r\n",   "sysop ", "node "};
    while (files["TEXT.TXT"].size() < 120000) files["TEXT.TXT"] += words[rng() % std::size(words)];
    // Blocks of 16 letters repeated: compressible by the Huffman codes alone,
    // and by matches reaching back one block.
    for (const auto& [name, block, times] :
         {std::tuple{"FAR.BIN", 26000, 3}, {"NEAR.BIN", 10000, 5}}) {
        std::string one(static_cast<std::size_t>(block), '\0');
        for (char& c : one) c = static_cast<char>('a' + rng() % 16);
        for (int i = 0; i < times; ++i) files[name] += one;
    }
    files["ZEROS.BIN"] = std::string(100000, '\0');
    files["ONE.TXT"] = "x";
    std::string names;
    for (const auto& [name, data] : files) {
        test::WriteFile(Path(name), data);
        names += " " + name;
    }
    for (int method = 1; method <= 4; ++method) {
        SCOPED_TRACE(method);
        const std::string archive = "M" + std::to_string(method) + ".ARJ";
        ASSERT_TRUE(test::Shell("cd '" + root_.string() + "' && arj a -e -y -m" +
                                std::to_string(method) + " " + archive + names));
        const Bytes bytes = test::ToBytes(test::ReadFile(Path(archive)));
        std::set<std::string> decoded;
        for (const ArjMember& m : WalkArj(bytes)) {
            if (m.method == 0) continue;
            MemorySource src(bytes.data() + m.offset, m.packed, 4093);
            test::VectorSink sink;
            if (m.method == 4)
                DecodeArjMethod4(src, sink, m.original);
            else
                DecodeStaticHuffman(src, sink, kArjParams, m.original);
            EXPECT_EQ(m.method, method) << m.name;
            EXPECT_TRUE(sink.bytes == test::ToBytes(files.at(m.name))) << m.name;
            decoded.insert(m.name);
        }
        EXPECT_GE(decoded.size(), 3u);
        EXPECT_TRUE(method == 4 || decoded.count("FAR.BIN"));
    }
}

}  // namespace
}  // namespace lumora::archive
