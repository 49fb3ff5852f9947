// The decoders against archives made here by Debian's arj (methods 1 to 4)
// and jLHA (-lh5- with header levels 0, 1 and 2): text, long runs, and
// repeats reaching back almost the whole 26624-byte window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <random>
#include <set>

#include "archive/decoders/arj_method4.h"
#include "archive/decoders/static_huffman.h"
#include "archive/lzh_test_support.h"
#include "support/temp_folder.h"

namespace lumora::archive::test {
namespace {

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The member files: name -> content.
std::map<std::string, Bytes> MakeFiles() {
    std::mt19937 rng(21);
    std::map<std::string, Bytes> files;

    const char* words[] = {"archive ", "file ", "list ", "board ", "the ",   "of ",
                           "upload ",  "door ", "game ", "\r\n",   "sysop ", "node "};
    Bytes& text = files["TEXT.TXT"];
    while (text.size() < 120000) {
        const std::string w = words[rng() % std::size(words)];
        text.insert(text.end(), w.begin(), w.end());
    }
    // Blocks of 16 letters repeated: compressible by the Huffman codes alone,
    // and by matches reaching back one block.
    auto repeats = [&rng](std::size_t block, int times) {
        Bytes one(block);
        for (auto& b : one) b = static_cast<std::uint8_t>('a' + rng() % 16);
        Bytes all;
        for (int i = 0; i < times; ++i) all.insert(all.end(), one.begin(), one.end());
        return all;
    };
    files["FAR.BIN"] = repeats(26000, 3);
    files["NEAR.BIN"] = repeats(10000, 5);
    files["ZEROS.BIN"] = Bytes(100000, 0);
    files["ONE.TXT"] = ToBytes("x");
    return files;
}

struct Made {
    lumora::test::TempFolder dir;
    std::map<std::string, Bytes> files = MakeFiles();

    Made() {
        for (const auto& [name, bytes] : files)
            dir.Write(name, std::string(bytes.begin(), bytes.end()));
    }
    // Runs `command` in the folder with the member names appended.
    Bytes Archive(const std::string& command, const std::string& archive) const {
        std::string cmd = "cd '" + dir.path() + "' && " + command + " " + archive;
        for (const auto& f : files) cmd += " " + f.first;
        EXPECT_EQ(std::system((cmd + " >/dev/null 2>&1").c_str()), 0) << cmd;
        return ReadFileBytes(dir / archive);
    }
};

// Decodes each member `decode` serves and compares it with its file;
// returns the names decoded.
template <typename DecodeFn>
std::set<std::string> CheckMembers(const Made& made, const Bytes& archive,
                                   const std::vector<Member>& members, DecodeFn decode) {
    std::set<std::string> decoded;
    for (const Member& m : members) {
        SCOPED_TRACE(m.name + " " + m.method);
        MemorySource src(archive.data() + m.offset, m.packed);
        VectorSink sink;
        if (!decode(m, src, sink)) continue;
        EXPECT_EQ(sink.bytes, made.files.at(m.name));
        decoded.insert(m.name);
    }
    return decoded;
}

TEST(DecodersGenerated, ArjMethods1To4) {
    if (!HaveTool("arj")) GTEST_SKIP() << "arj not installed";
    const Made made;
    for (int method = 1; method <= 4; ++method) {
        SCOPED_TRACE(method);
        const std::string name = "M" + std::to_string(method) + ".ARJ";
        const Bytes archive = made.Archive("arj a -e -y -m" + std::to_string(method), name);
        const auto decoded = CheckMembers(
            made, archive, WalkArj(archive), [](const Member& m, ByteSource& in, OutputSink& out) {
                if (m.method == "arj4")
                    DecodeArjMethod4(in, out, m.original);
                else if (m.method == "arj1" || m.method == "arj2" || m.method == "arj3")
                    DecodeStaticHuffman(in, out, kArjParams, m.original);
                else
                    return false;
                return true;
            });
        EXPECT_GE(decoded.size(), 3u);  // a one-byte file is stored
        if (method < 4) {
            EXPECT_TRUE(decoded.count("FAR.BIN"));
        }
    }
}

TEST(DecodersGenerated, JlhaLh5AllHeaderLevels) {
    if (!HaveTool("jlha")) GTEST_SKIP() << "jlha not installed";
    const Made made;
    for (char level : {'0', '1', '2'}) {
        SCOPED_TRACE(level);
        const std::string name = std::string("L") + level + ".LZH";
        const Bytes archive = made.Archive(std::string("jlha a") + level + "o5q", name);
        const auto decoded = CheckMembers(made, archive, WalkLha(archive),
                                          [](const Member& m, ByteSource& in, OutputSink& out) {
                                              if (m.method != "-lh5-") return false;
                                              DecodeStaticHuffman(in, out, kLh5Params, m.original);
                                              return true;
                                          });
        EXPECT_GE(decoded.size(), 4u);
    }
}

}  // namespace
}  // namespace lumora::archive::test
