// The ARJ header parser, which the lister's walk and the reader share: the
// record it reads, and crafted archives on which both must read the same
// headers (or part where the lister's walk has its own rule).
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "archive/core/dos_date.h"
#include "archive/core/input_file.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/header_test_support.h"

namespace lumora::archive::test {
namespace {

using Lines = std::vector<std::string>;
using Codes = std::vector<int>;

class ArjHeaderTest : public HeaderTest {};

// Every field lands in the record; the data starts after the extended
// headers; the end-of-archive header is End.
TEST_F(ArjHeaderTest, ReadsTheRecordOfOneBlock) {
    ArjEntry e{"DOC/A.TXT", "hello"};
    e.version = 6;
    e.minVersion = 2;
    e.flags = 0x10;
    e.method = 3;
    e.fileType = 1;
    e.fileMode = 0x21;
    e.comment = "member note";
    e.ext = {"one", "second"};
    const std::string block = ArjEntryBlock(e);
    InputFile file;
    ASSERT_TRUE(file.Open(Write("T.ARJ", "junk" + block + e.data + ArjEnd()).string()));
    lumora::archive::ArjHeader h;
    int error = 0;
    ASSERT_EQ(ReadArjHeader(file, 4, false, h, error), HeaderResult::Ok);
    EXPECT_EQ(h.version, 6);
    EXPECT_EQ(h.minVersion, 2);
    EXPECT_EQ(h.flags, 0x10);
    EXPECT_EQ(h.method, 3);
    EXPECT_EQ(h.fileType, 1);
    EXPECT_EQ(h.dosDateTime, 0x1F9A6000u);
    EXPECT_EQ(h.packedSize, 5u);
    EXPECT_EQ(h.originalSize, 5u);
    EXPECT_EQ(h.crc, CrcOf("hello"));
    EXPECT_EQ(h.fileMode, 0x21);
    EXPECT_EQ(h.name, "DOC/A.TXT");
    EXPECT_EQ(h.comment, "member note");
    EXPECT_EQ(h.dataOffset, 4 + block.size());
    EXPECT_EQ(h.Next(false), 4 + block.size() + 5);
    EXPECT_EQ(ReadArjHeader(file, h.Next(false), false, h, error), HeaderResult::End);

    std::uint64_t found = 0;
    ASSERT_EQ(FindArjHeader(file, 0, false, found, error), HeaderResult::Ok);
    EXPECT_EQ(found, 4u);
    // A wrong signature: 25139 for the first header of a volume, else 25108.
    EXPECT_EQ(ReadArjHeader(file, 0, true, h, error), HeaderResult::Bad);
    EXPECT_EQ(error, ecode::BadArchive);
    EXPECT_EQ(ReadArjHeader(file, 0, false, h, error), HeaderResult::Bad);
    EXPECT_EQ(error, ecode::BadFileHeader);
}

// The basic header of `e` changed by `edit`, as a whole archive with a
// member B.TXT after it.
template <typename Edit>
std::string WithBasic(const ArjEntry& e, Edit edit) {
    std::string basic = ArjBasic(e);
    edit(basic);
    return ArjEntryBlock(ArjMain("T.ARJ")) + ArjBlock(basic) + e.Stored() +
           ArjEntryBlock({"B.TXT", "b"}) + "b" + ArjEnd();
}

std::string Without(std::string s, std::size_t n) {
    s.resize(s.size() - n);
    return s;
}

// An archive whose comment "note" runs to the end of the main header.
std::string CommentWithoutZero() {
    return ArjBlock(Without(ArjBasic(ArjMain("T.ARJ", "note")), 1)) +
           ArjEntryBlock({"A.TXT", "a"}) + "a" + ArjEnd();
}

// Crafted archives listed and extracted: the lister lists what the reader
// extracts and ends with the same code, except where the walk has a rule of
// its own (it lists a member before its data is found to run past the end,
// and ends quietly when too few bytes for a header remain).
// The search finds the first header wherever it lies before the search
// limit: within the first block read, just after it, or far beyond.
TEST_F(ArjHeaderTest, SearchFindsTheHeaderBehindAnyStub) {
    const std::string archive = ArjArchive({ArjEntry("A.TXT", "alpha")});
    for (const std::size_t stub : {0u, 1487u, 1488u, 1489u, 20000u}) {
        const InputFile file = OpenImage("S.ARJ", std::string(stub, 'x') + archive);
        std::uint64_t found = 0;
        int error = 0;
        ASSERT_EQ(FindArjHeader(file, 0, false, found, error), HeaderResult::Ok) << stub;
        EXPECT_EQ(found, stub);
    }
}

TEST_F(ArjHeaderTest, ListerAndReaderReadTheSameHeaders) {
    ArjEntry a{"A.TXT", "a"}, fixedTooLarge{"A.TXT", "a"}, past{"C.TXT", "c"};
    fixedTooLarge.fixedSize = 200;
    past.packedSize = 5000;
    ArjEntry ext1023{"A.TXT", "a"};
    ext1023.ext.assign(1023, "x");
    ArjEntry ext1024 = ext1023;
    ext1024.ext.push_back("x");
    const std::string archive = ArjArchive({a});
    std::string badCrc = archive;
    badCrc[badCrc.find("A.TXT")] = 'X';
    struct Case {
        const char* what;
        std::string bytes;
        Lines listed;
        Codes listerCodes;
        Lines extracted;
        Codes readerCodes;
    };
    const Case cases[] = {
        // The search: a candidate whose block runs past the end is a read
        // error, not passed over.
        {"candidate cut short",
         "\x60\xEA" + Le(2000, 2) + archive,
         {},
         {ecode::ReadError},
         {},
         {ecode::ReadError}},
        {"signature at the end",
         std::string("\x60\xEA\xFF\xFF", 4) + "ab\x60\xEA" + "x",
         {},
         {ecode::ReadError},
         {},
         {ecode::ReadError}},
        // Name and comment end at their zero byte or at the end of the header.
        {"name without zero byte",
         WithBasic(a, [](std::string& b) { b.resize(b.size() - 2); }),
         {"A.TXT", "B.TXT"},
         {},
         {"A.TXT", "B.TXT"},
         {}},
        {"comment without zero byte", CommentWithoutZero(), {"A.TXT"}, {}, {"A.TXT"}, {}},
        {"name at the end of the header",
         WithBasic(a, [](std::string& b) { b[0] = static_cast<char>(b.size()); }),
         {"", "B.TXT"},
         {},
         {"B.TXT"},
         {}},
        {"basic header under 30 bytes",
         WithBasic(a, [](std::string& b) { b.resize(29); }),
         {},
         {ecode::BadFileHeader},
         {},
         {ecode::BadFileHeader}},
        {"fixed part larger than the header",
         WithBasic(fixedTooLarge, [](std::string&) {}),
         {},
         {ecode::BadFileHeader},
         {},
         {ecode::BadFileHeader}},
        {"1023 extended headers", ArjArchive({ext1023}), {"A.TXT"}, {}, {"A.TXT"}, {}},
        {"1024 extended headers",
         ArjArchive({ext1024}),
         {},
         {ecode::BadFileHeader},
         {},
         {ecode::BadFileHeader}},
        {"header CRC", badCrc, {}, {ecode::HeaderCrcError}, {}, {ecode::HeaderCrcError}},
        // The walk's own rules.
        {"data past the end",
         ArjArchive({a, past}),
         {"A.TXT", "C.TXT"},
         {ecode::BadFileHeader},
         {"A.TXT"},
         {ecode::BadFileHeader}},
        {"no end header", Without(archive, 4), {"A.TXT"}, {}, {"A.TXT"}, {ecode::BadFileHeader}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const BothSides both = ListAndExtract("T.ARJ", c.bytes);
        EXPECT_EQ(both.listing.names, c.listed);
        EXPECT_EQ(both.listing.codes, c.listerCodes);
        EXPECT_EQ(both.extracted, c.extracted);
        EXPECT_EQ(log.codes, c.readerCodes);
    }
}

// The archive comment is the main header's, to its zero byte or to the end
// of the header.
TEST_F(ArjHeaderTest, ListerHandsOutTheArchiveComment) {
    const std::pair<std::string, std::string> cases[] = {
        {ArjEntryBlock(ArjMain("T.ARJ", "note")) + ArjEntryBlock({"A.TXT", "a"}) + "a" + ArjEnd(),
         "note"},
        {CommentWithoutZero(), "note"},
        {ArjArchive({{"A.TXT", "a"}}), ""},
    };
    for (const auto& [bytes, comment] : cases) {
        TZipTV tv;
        tv.SetArchiveFile(Write("C.ARJ", bytes).string());
        Lines seen;
        tv.OnRead = [&](TZipTV& t, std::uint64_t, int) {
            seen.push_back(t.FileName() + "|" + t.ArchiveComment());
        };
        EXPECT_TRUE(tv.Activate());
        EXPECT_EQ(seen, Lines{"A.TXT|" + comment});
    }
}

// The lister's member record comes from the header; folders are listed with
// ShowBlankDirs, other file types are walked past.
TEST_F(ArjHeaderTest, ListerMapsTheHeaderToTheMemberRecord) {
    ArjEntry e{"A.TXT", "hello"}, folder{"DOC"}, label{"LABEL"};
    e.version = 6;
    e.minVersion = 2;
    e.flags = kArjGarbled;
    e.method = 1;
    e.fileMode = 0x21;
    e.packed = "xyz";
    folder.fileType = kArjDirectory;
    label.fileType = 4;
    TZipTV tv;
    tv.ShowBlankDirs = true;
    tv.SetArchiveFile(Write("R.ARJ", ArjArchive({label, folder, e})).string());
    std::vector<TListerMember> seen;
    Lines names;
    tv.OnRead = [&](TZipTV& t, std::uint64_t, int) {
        seen.push_back(t.Member());
        names.push_back(t.FileName());
    };
    ASSERT_TRUE(tv.Activate());
    EXPECT_EQ(names, (Lines{"DOC", "A.TXT"}));
    ASSERT_EQ(seen.size(), 2u);
    const TListerMember& m = seen[1];
    EXPECT_EQ(m.VersionMadeBy, 6);
    EXPECT_EQ(m.VersionNeeded, 2);
    EXPECT_TRUE(m.Encrypted);
    EXPECT_EQ(m.MethodCode, 1);
    EXPECT_EQ(m.FileDate, DosDateToDateTime(0x1F9A6000));
    EXPECT_EQ(m.PackedSize, 3u);
    EXPECT_EQ(m.UnpackedSize, 5u);
    EXPECT_EQ(m.Crc, CrcOf("hello"));
    EXPECT_EQ(m.ExternalAttr, 0x21u);
    EXPECT_EQ(m.InternalAttr, 32u);
    EXPECT_EQ(tv.FileCount(), 1);
}

// An archive made on Unix stores its members' times as Unix seconds.
TEST_F(ArjHeaderTest, UnixHostStampIsUnixTime) {
    ArjEntry dos{"DOS.TXT", "a"}, unix{"UNIX.TXT", "b"};
    dos.stamp = unix.stamp = 1589710830;  // 2020-05-17 10:20:30 UTC
    unix.host = kArjHostUnix;
    TZipTV tv;
    tv.SetArchiveFile(Write("U.ARJ", ArjArchive({dos, unix})).string());
    std::vector<TDateTime> dates;
    tv.OnRead = [&](TZipTV& t, std::uint64_t, int) { dates.push_back(t.Member().FileDate); };
    ASSERT_TRUE(tv.Activate());
    ASSERT_EQ(dates.size(), 2u);
    EXPECT_EQ(dates[0], DosDateToDateTime(1589710830));
    EXPECT_EQ(dates[1], DosDateToDateTime(UnixToDosDate(1589710830)));
    const std::optional<std::time_t> back = DosDateToUnix(UnixToDosDate(1589710830));
    ASSERT_TRUE(back.has_value());
    EXPECT_LE(std::llabs(static_cast<long long>(*back) - 1589710830LL), 2);
}

}  // namespace
}  // namespace lumora::archive::test
