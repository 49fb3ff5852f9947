// lumora-cli scan over a folder of hostile files in one run: cycles, absurd
// header sizes, offsets outside the file, names that climb out of the
// extraction folder or are absolute, a member claiming 4 GB, truncated
// archives of every format and a text file with an archive name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "archive/lister_test_support.h"
#include "cli/cli_runner.h"

namespace lumora::archive::test {
namespace {

namespace fs = std::filesystem;
using lumora::test::ReadAll;
using lumora::test::TempFolder;

std::string Sample(const std::string& name) {
    return ReadAll(std::string(LUMORA_SAMPLES_DIR) + "/" + name);
}

std::string Half(const std::string& bytes) {
    return bytes.substr(0, bytes.size() / 2);
}

std::string Patched(std::string bytes, std::size_t at, const std::string& with) {
    if (at + with.size() <= bytes.size()) bytes.replace(at, with.size(), with);
    return bytes;
}

std::string Le32(std::uint32_t v) {
    std::string s;
    Put32(s, v);
    return s;
}

std::string RarOne(const std::string& name, const std::string& data) {
    RarEntry e;
    e.name = name;
    e.data = data;
    return RarArchive({e});
}

// The second ARJ header (the first member's) claims 65535 bytes.
std::string ArjHeaderSize65535() {
    std::string arj = Sample("TOOLS.ARJ");
    const auto second = arj.find("\x60\xEA", 2);
    return Patched(arj, second + 2, "\xFF\xFF");
}

// The central directory's local-header offset points far behind the end.
std::string ZipOffsetOutside() {
    std::string zip = ZipBuilder().Add(Member("FILE_ID.DIZ", "desc")).Build();
    return Patched(zip, zip.find("PK\x01\x02") + 42, Le32(0x7FFFFFF0));
}

// Stored names that leave the extraction folder, in every format that
// stores paths.
std::map<std::string, std::string> EscapingNames(const std::string& absolute) {
    const std::string up = "../../FILE_ID.DIZ";
    const std::string abs = absolute + "FILE_ID.DIZ";
    std::map<std::string, std::string> files;
    files["UPZIP.ZIP"] = ZipBuilder().Add(Member(up, "up")).Build();
    files["ABSZIP.ZIP"] = ZipBuilder().Add(Member(abs, "abs")).Build();
    files["UPTAR.TAR"] = TarArchive({TarFile(up, "up")});
    files["ABSTAR.TAR"] = TarArchive({TarFile(abs, "abs")});
    files["UPLHA.LZH"] = LhaArchive({{"..\\..\\FILE_ID.DIZ", "up"}});
    files["ABSLHA.LZH"] = LhaArchive({{abs, "abs"}});
    files["UPRAR.RAR"] = RarOne(up, "up");
    files["ABSRAR.RAR"] = RarOne(abs, "abs");
    files["UPCAB.CAB"] = cabarc::BuildCab(cabarc::HeadersOnly({up}, 1));
    files["ABSCAB.CAB"] = cabarc::BuildCab(cabarc::HeadersOnly({abs}, 1));
    return files;
}

std::map<std::string, std::string> HostileFiles(const std::string& absolute) {
    auto files = EscapingNames(absolute);
    files["CYCLE.ZOO"] = ZooArchive({{"A.TXT", "a"}, ZooLinked("FILE_ID.DIZ", "d", 0)});
    files["HDR65535.ARJ"] = ArjHeaderSize65535();
    files["HDR0MID.LZH"] = LhaArchive({{"A.TXT", "aaaa"}}) + LhaArchive({{"FILE_ID.DIZ", "desc"}});
    files["OUTSIDE.ZIP"] = ZipOffsetOutside();
    // Original size 4 GB - 1 for three bytes of stored data.
    files["CLAIM4G.LZH"] = Patched(LhaArchive({{"FILE_ID.DIZ", "abc"}}), 11, Le32(0xFFFFFFFF));
    files["TEXT.ZIP"] = "This is only a text file.\r\n";
    for (const char* sample :
         {"GAME1.ZIP", "DOCS.ARC", "NOTES.GZ", "SETUP.CAB", "SOURCE.TAR", "TOOLS.ARJ", "UTILS.LZH"})
        files[std::string("CUT") + sample] = Half(Sample(sample));
    files["CUT.ZOO"] = Half(ZooArchive({{"FILE_ID.DIZ", "description"}}));
    files["CUT.RAR"] = Half(RarOne("FILE_ID.DIZ", "description"));
    return files;
}

std::set<std::string> Tree(const std::string& dir) {
    std::set<std::string> t;
    for (const auto& e : fs::recursive_directory_iterator(dir)) t.insert(e.path().string());
    return t;
}

class CliHostileScanTest : public lumora::test::CliTest {};

// Every file gets its line, the run ends with status 0, and nothing is
// written beside the list file, outside the folder, or left in TMPDIR.
TEST_F(CliHostileScanTest, EveryFileListedNothingWrittenOutside) {
    TempFolder tmp;
    const std::string escape = work.path() + "escape/";
    const auto files = HostileFiles(escape);
    for (const auto& [name, bytes] : files) work.Write("up/in/" + name, bytes);
    auto before = Tree(work.path());
    before.insert(work.path() + "list.txt");

    cwd = work.path() + "up/in/";
    env = "TMPDIR='" + tmp.path() + "'";
    const lumora::test::RunResult r =
        Run("scan --no-short-names -o '" + work.path() + "list.txt' .");
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    const std::string list = ReadAll(work.path() + "list.txt");
    for (const auto& [name, bytes] : files) EXPECT_THAT(list, ::testing::HasSubstr(name)) << name;
    EXPECT_EQ(Tree(work.path()), before);
    EXPECT_TRUE(fs::is_empty(tmp.path())) << "temporary folder left behind";
    EXPECT_FALSE(fs::exists(escape));
}

}  // namespace
}  // namespace lumora::archive::test
