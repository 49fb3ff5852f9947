// Decompression bombs through the description extraction of every format
// that can carry one: a member claiming 4 GB, and data that expands far
// beyond anything a description needs. The file written stays within the
// output limit and the extraction ends in seconds.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "archive/lister_test_support.h"
#include "scan/description_extraction.h"
#include "support/builders/cab_builder.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using archive::test::Put32;
using test::ReadAll;
using test::TempFolder;

// Deflate with fixed codes: one "A", then `repeats` matches of 258 bytes at
// distance 1 (13 bits each), so the data grows about 160 times.
std::string DeflateBomb(std::size_t repeats) {
    std::string out;
    std::uint32_t acc = 0;
    int n = 0;
    auto bits = [&](std::uint32_t v, int count) {  // least significant bit first
        acc |= v << n;
        n += count;
        for (; n >= 8; n -= 8, acc >>= 8) out += static_cast<char>(acc & 0xFF);
    };
    auto code = [&](std::uint32_t c, int count) {  // Huffman codes go most significant first
        for (int i = count - 1; i >= 0; --i) bits((c >> i) & 1, 1);
    };
    bits(1, 1);  // final block
    bits(1, 2);  // fixed codes
    code(0x30 + 'A', 8);
    for (std::size_t i = 0; i < repeats; ++i) {
        code(0xC0 + 5, 8);  // length 258
        code(0, 5);         // distance 1
    }
    code(0, 7);  // end of block
    bits(0, 7);
    return out;
}

std::string Le32(std::uint32_t v) {
    std::string s;
    Put32(s, v);
    return s;
}

std::string GzipOf(const std::string& deflate) {
    return std::string("\x1F\x8B\x08\x08\0\0\0\0\0\x03", 10) + "FILE_ID.DIZ" + '\0' + deflate +
           Le32(0) + Le32(0);
}

std::string CabStored(const std::string& data) {
    using namespace archive::cabarc;
    CabSpec c;
    c.folders.push_back(StoredFolder(data));
    c.files.push_back({"FILE_ID.DIZ", static_cast<std::uint32_t>(data.size()), 0, 0, 0x20});
    return BuildCab(c);
}

// A ZOO archive with one stored FILE_ID.DIZ whose header claims 4 GB: the
// entry's original size patched in.
std::string ZooClaiming4GB(const std::string& data) {
    std::vector<std::size_t> entries;
    std::string zoo = archive::test::ZooArchive({{"FILE_ID.DIZ", data}}, &entries);
    zoo.replace(entries[0] + 20, 4, Le32(0xFFFFFFFF));
    return zoo;
}

// FILE_ID.DIZ of `size` zero bytes packed by an installed archiver; empty
// when the tool is missing.
std::string PackedZeros(const TempFolder& dir, const std::string& archive,
                        const std::string& command, std::size_t size) {
    const std::string work = dir.MakeDir("pack-" + archive);
    dir.Write("pack-" + archive + "/FILE_ID.DIZ", std::string(size, '\0'));
    const std::string cmd = "cd '" + work + "' && " + command + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0) return {};
    return ReadAll(work + archive);
}

struct Bomb {
    std::string file;
    std::string bytes;
};

std::vector<Bomb> Bombs(const TempFolder& dir) {
    using namespace archive::test;
    const std::string deflate = DeflateBomb(100000);  // 25 MB from 160 KB
    const std::string big(3 << 20, 'x');
    TestMember zipBomb = Member("FILE_ID.DIZ", "AAAA", 8);  // claims 4 bytes
    zipBomb.raw = deflate;
    std::string arcRuns = "A";
    for (int i = 0; i < 20000; ++i) arcRuns += "\x90\xFF";  // 5 MB of "A"
    std::string lha = LhaArchive({{"FILE_ID.DIZ", big}});
    lha.replace(11, 4, Le32(0xFFFFFFFF));  // original size 4 GB
    return {
        {"BOMB.ZIP", ZipBuilder().Add(zipBomb).Build()},
        {"BIG.ZIP", ZipBuilder().Add(Member("FILE_ID.DIZ", big)).Build()},
        {"BOMB.GZ", GzipOf(deflate)},
        {"CLAIM.LZH", lha},
        {"BIG.TAR", TarArchive({TarFile("FILE_ID.DIZ", big)})},
        // The header claims as many bytes as the runs take.
        {"BOMB.ARC",
         ArcArchive({Coded("FILE_ID.DIZ", 3, arcRuns, std::string(arcRuns.size(), 'A'))})},
        {"BIG.CAB", CabStored(big)},
        {"CLAIM.ZOO", ZooClaiming4GB(big)},
        {"BOMB.ARJ", PackedZeros(dir, "BOMB.ARJ", "arj a -m1 BOMB.ARJ FILE_ID.DIZ", 16 << 20)},
        {"BOMB.LZH", PackedZeros(dir, "BOMB.LZH", "jlha c1o5q BOMB.LZH FILE_ID.DIZ", 16 << 20)},
        {"MSZIP.CAB", PackedZeros(dir, "MSZIP.CAB", "gcab -c -z MSZIP.CAB FILE_ID.DIZ", 16 << 20)},
    };
}

TEST(DescriptionBombTest, EveryFormatStopsAtTheLimitWithinSeconds) {
    TempFolder dir;
    for (const Bomb& b : Bombs(dir)) {
        SCOPED_TRACE(b.file);
        if (b.bytes.empty()) continue;  // its archiver is not installed
        TempFolder dest;
        DescriptionExtraction source;
        const auto start = std::chrono::steady_clock::now();
        const ExtractionOutcome o =
            source.ExtractDescription(dir.Write(b.file, b.bytes), {"FILE_ID.DIZ"}, dest.path());
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_LT(took.count(), 10.0);
        EXPECT_FALSE(o.memberName.empty());
        const std::string got = o.description.value_or("");
        EXPECT_EQ(got.size(), kDescriptionOutputLimit);  // every bomb holds more
    }
}

}  // namespace
}  // namespace lumora
