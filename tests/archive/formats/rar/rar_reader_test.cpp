// RarReader: members read from the block and header chains, stored data
// copied and checked, solid members decoded in order through one unpacker,
// volumes joined, damaged headers refused with their code, and the corpus
// members matching the checksums of an independent unpacker.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "archive/archive_test_support.h"
#include "archive/core/crc.h"
#include "archive/formats/rar/rar_reader.h"
#include "archive/formats/rar/unrar_api.h"
#include "support/builders/rar_builder.h"
#include "support/corpus.h"
#include "support/sha256.h"

namespace lumora::archive::test {
namespace {

using namespace std::string_literals;
using Walk = std::vector<std::string>;

struct StringSink final : OutputSink {
    std::string bytes;
    void Write(const std::uint8_t* data, std::size_t n) override {
        bytes.append(reinterpret_cast<const char*>(data), n);
    }
};

// A stand-in unpacker: the packed bytes are the member's bytes, and data
// starting with "BAD" is damaged. Each call is logged as new or solid, with
// "+out" where the output is wanted.
class CopyUnpacker final : public RarUnpacker {
public:
    explicit CopyUnpacker(Walk& log) : log_(log) {}
    RarUnpackResult Unpack(ByteSource& in, OutputSink* out, const RarUnpackRequest& req) override {
        std::string data(1024, '\0');
        data.resize(in.Read(reinterpret_cast<std::uint8_t*>(data.data()), data.size()));
        log_.push_back(std::string(req.solid ? "solid" : "new") + (out ? "+out" : ""));
        if (data.rfind("BAD", 0) == 0) return {RarUnpackStatus::kDataError, 0};
        if (out) out->Write(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        return {RarUnpackStatus::kDone, data.size()};
    }

private:
    Walk& log_;
};

// Every member as "name=bytes" (decoded) or "name!code", or only `wanted`
// decoded and the others skipped; a failed walk ends with "!code".
Walk WalkArchive(RarReader& r, const std::string& path, const std::string& wanted = "") {
    if (const int code = r.Open(path); code != 0) return {"open!" + std::to_string(code)};
    Walk out;
    RarMember m;
    int code = 0;
    while ((code = r.Next(m)) == 0) {
        if (!wanted.empty() && m.name != wanted) {
            r.Skip();
            continue;
        }
        StringSink sink;
        const int d = r.Decode(&sink, 0);
        out.push_back(m.name + (d == 0 ? "=" + sink.bytes : "!" + std::to_string(d)));
    }
    if (code != unrar::ERAR_END_ARCHIVE) out.push_back("!" + std::to_string(code));
    return out;
}

class RarReaderTest : public TempDirTest {
protected:
    Walk log;
    RarUnpackerMaker copying = [this](RarFamily, std::size_t) {
        return std::make_unique<CopyUnpacker>(log);
    };
    Walk WalkBytes(const std::string& bytes, const std::string& wanted = "") {
        WriteFile(Path("T.RAR"), bytes);
        RarReader r(copying);
        return WalkArchive(r, Path("T.RAR").string(), wanted);
    }
};

RarEntry Packed(const std::string& name, const std::string& data, std::uint16_t flags = 0) {
    return {.name = name, .data = data, .extraFlags = flags, .method = 0x33, .version = 29};
}

// The wanted member of a solid archive comes after the earlier ones were
// decoded without output; a damaged member fails the ones that continue
// it, which then never reach the unpacker; outside solid archives skipped
// members are not decoded.
TEST_F(RarReaderTest, SolidMembersAreDecodedInOrder) {
    struct Case {
        const char* what;
        std::uint16_t mainFlags;
        std::string first;
        std::string wanted;
        Walk members;
        Walk calls;
    };
    const Case cases[] = {
        {"all", 0x08, "aa", "", {"A=aa", "B=bb", "C=cc"}, {"new+out", "solid+out", "solid+out"}},
        {"last alone", 0x08, "aa", "C", {"C=cc"}, {"new", "solid", "solid+out"}},
        {"damaged first", 0x08, "BAD", "", {"A!12", "B!12", "C!12"}, {"new+out"}},
        {"not solid", 0, "aa", "C", {"C=cc"}, {"new+out"}},
    };
    for (const Case& c : cases) {
        log.clear();
        const std::uint16_t solid = c.mainFlags ? 0x10 : 0;
        const std::string rar =
            RarArchive({Packed("A", c.first), Packed("B", "bb", solid), Packed("C", "cc", solid)},
                       c.mainFlags);
        EXPECT_EQ(WalkBytes(rar, c.wanted), c.members) << c.what;
        EXPECT_EQ(log, c.calls) << c.what;
    }
}

// A member split over three volumes is read whole, with both namings; a
// set opened at a later volume starts after the continued member; a
// missing volume is reported as such.
TEST_F(RarReaderTest, VolumesAreJoined) {
    const std::string all = "0123456789";
    auto piece = [&](const std::string& data, std::uint16_t split) {
        return RarEntry{.name = "BIG.TXT",
                        .data = data,
                        .extraFlags = split,
                        .unpacked = 10,
                        .crc = CrcOf(all)};
    };
    const std::vector<std::string> volumes = {
        RarArchive({piece("0123", 0x02)}, 0x111, 0x4001),
        RarArchive({piece("4567", 0x03)}, 0x11, 0x4001),
        RarArchive({piece("89", 0x01), {.name = "AFTER.TXT", .data = "z"}}, 0x11)};
    const Walk whole = {"BIG.TXT=" + all, "AFTER.TXT=z"};
    for (const auto& names :
         {Walk{"S.part1.rar", "S.part2.rar", "S.part3.rar"}, Walk{"O.rar", "O.r00", "O.r01"}}) {
        for (std::size_t i = 0; i < 3; ++i) {
            auto bytes = volumes[i];
            if (names[0] == "O.rar") bytes[10] &= ~0x10;  // old naming: flag off
            WriteFile(Path(names[i]), bytes);
        }
        RarReader r;
        EXPECT_EQ(WalkArchive(r, Path(names[0]).string()), whole) << names[0];
        RarReader later;
        EXPECT_EQ(WalkArchive(later, Path(names[1]).string()), Walk{"AFTER.TXT=z"}) << names[1];
    }
    fs::remove(Path("S.part3.rar"));
    RarReader r;
    EXPECT_EQ(WalkArchive(r, Path("S.part1.rar").string()), (Walk{"BIG.TXT!15", "!15"}));
}

// A RAR 5 header from its body (type, flags, fields).
std::string Rar5Block(const std::string& body) {
    std::string h(1, static_cast<char>(body.size()));
    h += body;
    std::string crc;
    Put32(crc, CrcOf(h));
    return crc + h;
}

std::string Rar5Archive(const std::string& headers) {
    return std::string("Rar!\x1a\x07\x01\x00", 8) + Rar5Block("\x01\x00\x00"s) + headers +
           Rar5Block("\x05\x00\x00"s);
}

// Damaged, refused and unsupported headers and data end the walk or the
// member with the library's code, without reading or allocating by the
// sizes they claim.
TEST_F(RarReaderTest, DamagedInputEndsWithItsCode) {
    const std::string good = RarArchive({{.name = "A", .data = "abc"}});
    std::string badCrc = good;
    badCrc[20 + 32] ^= 1;  // the name
    std::string smallHead = good;
    smallHead[20 + 5] = 6;
    // RAR 5 file "A" with 3 bytes of data, method 1, dictionary 4 GiB.
    const std::string r5Big = Rar5Block(
                                  "\x02\x02\x03\x00\x05\x00\x80\xF9\x03\x00\x01"
                                  "A"s) +
                              "xyz";
    struct Case {
        const char* what;
        std::string bytes;
        Walk walk;
    };
    const Case cases[] = {
        {"no marker", "RAR archive? no", {"open!13"}},
        {"file header CRC", badCrc, {"!13"}},
        {"header size below 7", smallHead, {"!13"}},
        {"header cut short", good.substr(0, 40), {"!13"}},
        {"stored data cut short", good.substr(0, 20 + 33 + 1), {"A!12"}},
        {"stored CRC", RarArchive({{.name = "A", .data = "abc", .crc = 1}}), {"A!12"}},
        {"size far beyond the data",
         RarArchive({{.name = "A", .data = "abc", .unpacked = 0xFFFFFFFF}}),
         {"A!12"}},
        {"unknown unpack version",
         RarArchive({{.name = "A", .data = "x", .method = 0x33, .version = 99}}),
         {"A!14"}},
        {"solid member first", RarArchive({Packed("A", "x", 0x10)}, 0x08), {"A!12"}},
        {"encrypted member", RarArchive({{.name = "A", .data = "x", .extraFlags = 4}}), {"A!22"}},
        {"encrypted headers", RarArchive({}, 0x80), {"!22"}},
        {"RAR 5 window over the cap", Rar5Archive(r5Big), {"A!11"}},
        {"RAR 5 header CRC", Rar5Archive(r5Big).replace(25, 1, "\x06"), {"!13"}},
        {"RAR 5 encrypted headers", Rar5Archive(Rar5Block("\x04\x00\x00"s)), {"!22"}},
    };
    for (const Case& c : cases) EXPECT_EQ(WalkBytes(c.bytes), c.walk) << c.what;
}

// RAR 5 members whose checksum is a BLAKE2sp digest instead of a CRC-32,
// stored, packed and split over volumes (the digest in the last piece's
// header only): a digest that does not match fails as a CRC does; a hash of
// another type is not checked.
TEST_F(RarReaderTest, Rar5Blake2spDigestIsChecked) {
    const std::string data = "hello, rar 5";
    const std::string digest =
        "\xb6\x59\xc3\x53\x62\x57\x66\xf3\x35\xa2\xe8\x47\x00\x14\x18\xc8"
        "\xdb\xa6\xdd\x00\x98\xf8\x70\x91\x3e\xc4\x7c\x34\x0a\x86\xab\x51"s;
    std::string flipped = digest;
    flipped[31] ^= 1;
    // Header flags, then file "A" without a CRC, then a hash record (size,
    // type 2, hash type, hash) where one is given; the piece follows.
    auto file = [&](char flags, const std::string& compression, const std::string& piece,
                    char hashType, const std::string& hash) {
        const std::string extra = hash.empty() ? "" : "\x22\x02"s + hashType + hash;
        return Rar5Block("\x02"s + flags + char(extra.size()) + char(piece.size()) + "\x00"s +
                         char(data.size()) + "\x20"s + compression + "\x00\x01"s + "A" + extra) +
               piece;
    };
    const std::string stored = "\x00"s, packed = "\x80\x01"s;
    struct Case {
        const char* what;
        std::string bytes;
        Walk walk;
    };
    const Case cases[] = {
        {"stored", Rar5Archive(file(3, stored, data, 0, digest)), {"A=" + data}},
        {"stored, digest off", Rar5Archive(file(3, stored, data, 0, flipped)), {"A!12"}},
        {"packed", Rar5Archive(file(3, packed, data, 0, digest)), {"A=" + data}},
        {"packed, digest off", Rar5Archive(file(3, packed, data, 0, flipped)), {"A!12"}},
        {"other hash type", Rar5Archive(file(3, stored, data, 1, flipped)), {"A=" + data}},
    };
    for (const Case& c : cases) EXPECT_EQ(WalkBytes(c.bytes), c.walk) << c.what;

    const std::string volume = "Rar!\x1a\x07\x01\x00"s + Rar5Block("\x01\x00\x01"s);
    WriteFile(Path("S.part1.rar"),
              volume + file(0x13, stored, data.substr(0, 5), 0, "") + Rar5Block("\x05\x00\x01"s));
    for (const auto& [hash, walk] : {std::pair{digest, "A=" + data}, {flipped, "A!12"s}}) {
        WriteFile(Path("S.part2.rar"), volume + file(0x0B, stored, data.substr(5), 0, hash) +
                                           Rar5Block("\x05\x00\x00"s));
        RarReader r;
        EXPECT_EQ(WalkArchive(r, Path("S.part1.rar").string()), Walk{walk}) << walk;
    }
}

// Every corpus member listed with an independent unpacker's checksum comes
// out byte for byte; while an unpacker is missing, its members (and the
// solid ones after them) may only answer that.
TEST(RarReaderCorpusTest, MembersMatchTheIndependentChecksums) {
    LUMORA_REQUIRE_CORPUS();
    const fs::path dir = lumora::test::CorpusDir() / "rar";
    std::map<std::string, std::map<std::string, std::string>> expected;
    std::ifstream sums(lumora::test::CorpusDir() / "expected/rar/SHA256SUMS");
    for (std::string line; std::getline(sums, line);) {
        const std::size_t slash = line.find('/', 66);
        if (line.size() > 66 && slash != std::string::npos &&
            fs::exists(dir / line.substr(66, slash - 66)))
            expected[line.substr(66, slash - 66)][line.substr(slash + 1)] = line.substr(0, 64);
    }
    ASSERT_GE(expected.size(), 15u);
    int stored = 0;
    for (const auto& [archive, members] : expected) {
        RarReader r;
        ASSERT_EQ(r.Open((dir / archive).string()), 0) << archive;
        RarMember m;
        bool missingUnpacker = false;
        std::size_t seen = 0;
        while (r.Next(m) == 0) {
            StringSink sink;
            const int code = r.Decode(&sink, 0);
            if (!members.count(m.name)) continue;
            ++seen;
            missingUnpacker |= code == unrar::ERAR_UNKNOWN_FORMAT;
            if (code == 0) {
                EXPECT_EQ(lumora::test::Sha256Hex(sink.bytes), members.at(m.name)) << m.name;
                stored += m.Stored();
            } else {
                EXPECT_TRUE(!m.Stored() && missingUnpacker) << archive << ": " << m.name;
            }
        }
        EXPECT_EQ(seen, members.size()) << archive;
    }
    EXPECT_EQ(stored, 8);
}

// The members of the four-volume set in order, and encrypted data reported
// as such.
TEST(RarReaderCorpusTest, VolumeSetAndEncryptedMembers) {
    LUMORA_REQUIRE_CORPUS();
    const fs::path dir = lumora::test::CorpusDir() / "rar";
    RarReader set;
    ASSERT_EQ(set.Open((dir / "test_read_format_rar_multivolume.part0001.rar").string()), 0);
    Walk names;
    for (RarMember m; set.Next(m) == 0;) names.push_back(m.name);
    EXPECT_EQ(names, (Walk{"ppmd_lzss_conversion_test.txt", "LibarchiveAddingTest.html", "testlink",
                           "testdir/test.txt", "testdir/LibarchiveAddingTest.html", "testdir",
                           "testemptydir"}));
    RarReader encrypted;
    EXPECT_EQ(WalkArchive(encrypted, (dir / "LA_ENCR.RAR").string()),
              (Walk{"foo.txt!22", "bar.txt!22"}));
}

}  // namespace
}  // namespace lumora::archive::test
