// The cabinet header parser that the lister and the reader share: what it
// makes of unusual and damaged headers, names flagged UTF-8, and the lister
// and the reader naming, matching and writing the same files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "archive/archive_test_support.h"
#include "archive/formats/cab/cab_header.h"
#include "archive/formats/cab/un_cab.h"
#include "archive/lister_test_support.h"
#include "platform/text.h"
#include "support/builders/cab_builder.h"

namespace lumora::archive::test {
namespace {

using cabarc::BuildCab;
using cabarc::CabSpec;
using Lines = std::vector<std::string>;

constexpr std::uint16_t kUtf8 = 0xA0;  // archive bit and the UTF-8 flag, as gcab sets them

// One stored folder holding one byte per file, in the files' order.
CabSpec OneByteEach(const std::vector<std::pair<std::string, std::uint16_t>>& names) {
    CabSpec c;
    std::string data;
    for (const auto& [name, attrs] : names) {
        c.files.push_back({name, 1, static_cast<std::uint32_t>(data.size()), 0, attrs});
        data += static_cast<char>('a' + data.size() % 26);
    }
    c.folders = {cabarc::StoredFolder(data)};
    return c;
}

class CabHeaderTest : public ReaderTest {
protected:
    Lines ListNames(const fs::path& path, const std::string& spec = "*.*") {
        return ListFile(path.string(), spec).names;
    }
};

TEST_F(CabHeaderTest, ParserReadsWhatArrives) {
    const std::string n256(256, 'N');
    CabSpec plain = OneByteEach({{"A.TXT", 0x20}});
    CabSpec reserve = plain;
    reserve.reserve = true;
    reserve.headerReserve = 300;
    reserve.folderReserve = 5;
    reserve.dataReserve = 3;
    reserve.prev = {{"PREV.CAB", "Disk 1"}};
    reserve.next = {{"NEXT.CAB", "Disk 3"}};
    CabSpec longNext = plain;
    longNext.next = {{std::string(256, 'C'), "d"}};
    CabSpec tooLongNext = plain;
    tooLongNext.next = {{std::string(257, 'C'), "d"}};
    CabSpec noFolder = plain;
    noFolder.folders.clear();
    CabSpec counted = plain;
    counted.fileCount = 5;
    std::string badSig = BuildCab(plain);
    badSig[3] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
        HeaderResult result;
        Lines names = {};
        bool cut = false;
        std::size_t folders = 1;
        std::string next = {};
    };
    const Case cases[] = {
        {"plain", BuildCab(plain), HeaderResult::Ok, {"A.TXT"}},
        {"reserve areas, both neighbours",
         BuildCab(reserve),
         HeaderResult::Ok,
         {"A.TXT"},
         false,
         1,
         "NEXT.CAB"},
        {"next cabinet name of 256 bytes",
         BuildCab(longNext),
         HeaderResult::Ok,
         {"A.TXT"},
         false,
         1,
         std::string(256, 'C')},
        {"next cabinet name of 257 bytes", BuildCab(tooLongNext), HeaderResult::Bad},
        {"file name of 256 bytes", BuildCab(OneByteEach({{n256, 0x20}})), HeaderResult::Ok, {n256}},
        {"file name of 257 bytes ends the list",
         BuildCab(OneByteEach({{"A.TXT", 0x20}, {n256 + "N", 0x20}, {"B.TXT", 0x20}})),
         HeaderResult::Ok,
         {"A.TXT"},
         true},
        {"more files counted than listed", BuildCab(counted), HeaderResult::Ok, {"A.TXT"}, true},
        {"no folder entry", BuildCab(noFolder), HeaderResult::Ok, {"A.TXT"}, false, 0},
        {"wrong signature", badSig, HeaderResult::Bad},
        {"wrong signature, cut", badSig.substr(0, 10), HeaderResult::Bad},
        {"header cut", BuildCab(plain).substr(0, 35), HeaderResult::End},
        {"reserve fields cut", BuildCab(reserve).substr(0, 38), HeaderResult::End},
        {"reserve area beyond the file", BuildCab(reserve).substr(0, 200), HeaderResult::Bad},
        {"names flagged UTF-8 become Windows-1252",
         BuildCab(OneByteEach({{"Ärger.txt", kUtf8},
                               {"日本.txt", kUtf8},
                               {"\xC4x", kUtf8},
                               {"\xC4rger.txt", 0x20}})),
         HeaderResult::Ok,
         {"\xC4rger.txt", "??.txt", "?x", "\xC4rger.txt"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InputFile in;
        ASSERT_TRUE(in.Open(Write("P.CAB", c.bytes).string()));
        Cabinet cab;
        ASSERT_EQ(ReadCabinet(in, cab), c.result);
        if (c.result != HeaderResult::Ok) continue;
        Lines names;
        for (const CabFileEntry& f : cab.files) names.push_back(f.name);
        EXPECT_EQ(names, c.names);
        EXPECT_EQ(cab.listCut, c.cut);
        EXPECT_EQ(cab.folders.size(), c.folders);
        EXPECT_EQ(cab.nextName, c.next);
    }
    InputFile in;
    ASSERT_TRUE(in.Open(Write("P.CAB", BuildCab(reserve)).string()));
    Cabinet cab;
    ASSERT_EQ(ReadCabinet(in, cab), HeaderResult::Ok);
    EXPECT_EQ(cab.nextDisk, "Disk 3");
    EXPECT_EQ(cab.folderReserve, 5);
    EXPECT_EQ(cab.dataReserve, 3);
    EXPECT_EQ(cab.folders.at(0).dataOffset, cab.filesOffset + 16 + 6);
}

// The lister and the reader name the same files: listed as Windows-1252,
// written under the same name in UTF-8, matched by the same pattern.
TEST_F(CabHeaderTest, ListerAndReaderNameTheSameFiles) {
    const std::string dir = "DIR\\" + std::string(252, 'N');  // 256 bytes
    struct Case {
        const char* what;
        CabSpec cab;
        std::string spec;
        Lines listed;  // UTF-8
        Lines written;
    };
    const Case cases[] = {
        {"UTF-8 names",
         OneByteEach({{"Ärger.txt", kUtf8}, {"日本.txt", kUtf8}, {"Öl.txt", 0x20}}),
         "*.*",
         {"Ärger.txt", "??.txt", "Ã–l.txt"},
         {"??.txt", "Ã–l.txt", "Ärger.txt"}},
        {"UTF-8 name matched by a Windows-1252 pattern of other case",
         OneByteEach({{"Ärger.txt", kUtf8}, {"Bärger.txt", kUtf8}}),
         Utf8ToAnsi("äRGER.TXT"),
         {"Ärger.txt"},
         {"Ärger.txt"}},
        {"name of 256 bytes",
         OneByteEach({{dir, 0x20}, {"B.TXT", 0x20}}),
         "*.*",
         {dir, "B.TXT"},
         {"B.TXT", std::string(252, 'N')}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Reset();
        const fs::path path = Write("N.CAB", BuildCab(c.cab));
        Lines listed;
        for (const std::string& n : ListNames(path, c.spec)) listed.push_back(AnsiToUtf8(n));
        EXPECT_EQ(listed, c.listed);
        TUnCAB r;
        Run(r, path, c.spec);
        EXPECT_TRUE(log.codes.empty());
        EXPECT_EQ(OutFiles(), c.written);
    }
}

// A cabinet made by gcab with a name outside ASCII: listed, matched by the
// pattern as lumora-cli passes it (Windows-1252) and written under its name.
TEST_F(CabHeaderTest, GcabUtf8NameListsMatchesAndExtracts) {
    if (!HaveTool("gcab")) GTEST_SKIP() << "gcab not installed";
    fs::create_directories(Path("in"));
    WriteFile(Path("in/Ärger.txt"), "Ärger mit Umlauten\n");
    ASSERT_TRUE(Shell("cd '" + Path("in").string() + "' && gcab -c -z ../U.CAB 'Ärger.txt'"));
    for (const std::string& spec : {std::string("*.*"), Utf8ToAnsi("Ärger.txt")}) {
        SCOPED_TRACE(spec);
        Reset();
        EXPECT_EQ(ListNames(Path("U.CAB"), spec), Lines{Utf8ToAnsi("Ärger.txt")});
        TUnCAB r;
        Run(r, Path("U.CAB"), spec);
        EXPECT_TRUE(log.codes.empty());
        EXPECT_EQ(OutFiles(), Lines{"Ärger.txt"});
        EXPECT_EQ(Out("Ärger.txt"), "Ärger mit Umlauten\n");
    }
}

}  // namespace
}  // namespace lumora::archive::test
