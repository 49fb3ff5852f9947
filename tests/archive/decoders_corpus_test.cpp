// The LZH, ARJ and ZOO decoders against real archives: every member of every
// LHA, ARJ and ZOO archive of the shared corpus whose method they serve
// decodes to its original size and stored CRC, and each description member
// to the bytes under expected/.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "archive/decoders/arj_method4.h"
#include "archive/decoders/lh1.h"
#include "archive/decoders/static_huffman.h"
#include "archive/decoders/zoo_lzw.h"
#include "archive/lzh_test_support.h"

namespace lumora::archive::test {
namespace {

namespace fs = std::filesystem;

enum class Kind { kLha, kArj, kZoo };

struct Decoded {
    Bytes bytes;
    bool crcOk = false;
};

// Decodes a member with the method's decoder; nullopt for methods these
// decoders do not serve (stored, -lh6-, garbled, ...).
std::optional<Decoded> DecodeMember(const Bytes& archive, const Member& m) {
    MemorySource src(archive.data() + m.offset, m.packed, 4093);
    VectorSink sink;
    const std::string& k = m.method;
    if (k == "-lh1-")
        DecodeLh1(src, sink, m.original);
    else if (k == "-lh4-")
        DecodeStaticHuffman(src, sink, kLh4Params, m.original);
    else if (k == "-lh5-")
        DecodeStaticHuffman(src, sink, kLh5Params, m.original);
    else if (k == "arj1" || k == "arj2" || k == "arj3")
        DecodeStaticHuffman(src, sink, kArjParams, m.original);
    else if (k == "arj4")
        DecodeArjMethod4(src, sink, m.original);
    else if (k == "zoo1")
        DecodeZooLzw(src, sink, m.original);
    else if (k == "zoo2")
        DecodeStaticHuffman(src, sink, kZooLzhParams, m.original);
    else
        return std::nullopt;
    Decoded d{std::move(sink.bytes)};
    d.crcOk = k.starts_with("arj") ? Crc32Of(d.bytes.data(), d.bytes.size()) == m.crc
                                   : Crc16Of(d.bytes) == m.crc;
    return d;
}

std::optional<Kind> KindOf(const fs::path& p) {
    const std::string dir = p.parent_path().filename();
    const std::string name = p.filename();
    if (dir == "arj" || name == "ARJSFX.EXE") return Kind::kArj;
    if (dir == "zoo") return Kind::kZoo;
    if (dir == "lha" || name.starts_with("LHA") || name == "WINSFX.EXE" || name == "BADHDR.LZH")
        return Kind::kLha;
    return std::nullopt;
}

std::vector<Member> Walk(Kind kind, const Bytes& b) {
    switch (kind) {
        case Kind::kLha:
            return WalkLha(b);
        case Kind::kArj:
            return WalkArj(b);
        case Kind::kZoo:
            return WalkZoo(b);
    }
    return {};
}

std::string FileNamePart(const std::string& stored) {
    const auto cut = stored.find_last_of("/\\");
    return cut == std::string::npos ? stored : stored.substr(cut + 1);
}

TEST(DecodersCorpus, EveryMemberMatchesItsSizeAndCrc) {
    const fs::path corpus = LUMORA_CORPUS_DIR;
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "corpus not found at " << corpus;

    std::map<std::string, int> decodedPerMethod;
    int descriptions = 0;
    for (const char* dir : {"lha", "arj", "zoo", "sfx", "misc"}) {
        for (const auto& entry : fs::directory_iterator(corpus / dir)) {
            const auto kind = KindOf(entry.path());
            if (!kind) continue;
            SCOPED_TRACE(entry.path().string());
            const Bytes archive = ReadFileBytes(entry.path());
            const fs::path expectedDir = corpus / "expected" / dir / entry.path().filename();
            std::map<std::string, Bytes> lastByName;
            for (const Member& m : Walk(*kind, archive)) {
                SCOPED_TRACE(m.name + " " + m.method);
                std::optional<Decoded> d;
                try {
                    d = DecodeMember(archive, m);
                } catch (const DecodeError& e) {
                    ADD_FAILURE() << "decoder error " << e.code;
                }
                if (!d) continue;
                EXPECT_EQ(d->bytes.size(), m.original);
                EXPECT_TRUE(d->crcOk);
                ++decodedPerMethod[m.method];
                lastByName[FileNamePart(m.name)] = d->bytes;
            }
            if (!fs::is_directory(expectedDir)) continue;
            for (const auto& want : fs::directory_iterator(expectedDir)) {
                const auto it = lastByName.find(want.path().filename());
                if (it == lastByName.end()) continue;  // stored, or a method served elsewhere
                EXPECT_EQ(it->second, ReadFileBytes(want.path())) << want.path();
                ++descriptions;
            }
        }
    }
    for (const char* method :
         {"-lh1-", "-lh4-", "-lh5-", "arj1", "arj2", "arj3", "arj4", "zoo1", "zoo2"})
        EXPECT_GT(decodedPerMethod[method], 0) << method << " never met";
    EXPECT_GE(descriptions, 15);
}

}  // namespace
}  // namespace lumora::archive::test
