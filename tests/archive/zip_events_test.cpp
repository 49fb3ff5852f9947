// The member protocol of the ZIP reader as its owner sees it: event order,
// skipping, existing files, passwords and progress.
#include <gtest/gtest.h>

#include "archive/error_codes.h"
#include "archive/un_zip.h"
#include "archive_test_support.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

using Lines = std::vector<std::string>;
using test::Member;

class ZipEventsTest : public test::TempDirTest {
protected:
    // Writes the archive and points a reader at it, extracting into out/.
    void Open(const test::ZipBuilder& zb, const std::string& spec = "*.*") {
        test::WriteFile(Path("T.ZIP"), zb.Build());
        log_.Attach(z_);
        z_.SetArchiveFile(Path("T.ZIP").string());
        z_.SetExtractDir(Path("out").string());
        z_.SetFileSpec(spec);
    }
    std::string Out(const std::string& name) { return test::ReadFile(Path("out/" + name)); }

    TUnZIP z_;
    test::EventLog log_;
};

TEST_F(ZipEventsTest, EventOrderOverAWholeRun) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha")).Add(Member("B.TXT", std::string(70000, 'b'), 8));
    Open(zb);
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin A.TXT 1", "End A.TXT pass", "Begin B.TXT 2",
                                 "End B.TXT pass", "Deactivate"}));
    EXPECT_EQ(Out("A.TXT"), "alpha");
    EXPECT_EQ(Out("B.TXT"), std::string(70000, 'b'));
    EXPECT_EQ(z_.ExtractedCount(), 2);
}

TEST_F(ZipEventsTest, NothingMatchingReports26999) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "alpha")).Add(Member("DOC/FILE_ID.DIZ", "in a folder"));
    Open(zb, "FILE_ID.DIZ");  // the whole stored path is compared
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Error 26999 T.ZIP", "Deactivate"}));
}

TEST_F(ZipEventsTest, FoldersAndVolumeLabelsAreSkipped) {
    test::ZipBuilder zb;
    auto dir = Member("DATA/", "");
    dir.externalAttrs = 0x10;
    auto label = Member("DISK1", "");
    label.externalAttrs = 0x08;
    zb.Add(dir).Add(label).Add(Member("DATA/X.DAT", "x")).Add(Member("DATA/", ""));
    Open(zb);
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin X.DAT 1", "End X.DAT pass", "Deactivate"}));
}

TEST_F(ZipEventsTest, ExistingOutputWithAndWithoutAHandler) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "new"));
    Open(zb);
    test::WriteFile(Path("out/A.TXT"), "old");
    z_.Extract();  // no OnFileExists: overwritten
    EXPECT_EQ(Out("A.TXT"), "new");

    test::WriteFile(Path("out/A.TXT"), "old");
    TDateTime seen = 0;
    z_.OnFileExists = [&](TZipCommon&, const std::string& fn, TDateTime date, bool& accept) {
        log_.lines.push_back("Exists " + std::filesystem::path(fn).filename().string());
        seen = date;
        accept = false;
    };
    log_.lines.clear();
    z_.Extract();
    EXPECT_EQ(Out("A.TXT"), "old");
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Exists A.TXT", "End A.TXT pass", "Error 26999 T.ZIP",
                                 "Deactivate"}));
    EXPECT_EQ(DecodeDateTime(seen).year, 1995);
}

TEST_F(ZipEventsTest, ClearingExtractInOnBeginSkips) {
    test::ZipBuilder zb;
    zb.Add(Member("A.TXT", "a")).Add(Member("B.TXT", "b"));
    Open(zb);
    z_.OnBegin = [&](TZipCommon&, const std::string& fn, int n, bool& extract) {
        log_.lines.push_back("Begin " + std::to_string(n));
        extract = fn.ends_with("B.TXT");
    };
    z_.Extract();
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin 1", "End A.TXT pass", "Begin 2",
                                 "End B.TXT pass", "Deactivate"}));
    EXPECT_FALSE(std::filesystem::exists(Path("out/A.TXT")));
    EXPECT_EQ(Out("B.TXT"), "b");
}

test::TestMember Encrypted(const std::string& name, const std::string& data,
                           const std::string& password, std::uint16_t flags = 0) {
    auto m = Member(name, data, 8);
    m.password = password;
    m.flags = flags;
    return m;
}

TEST_F(ZipEventsTest, PasswordsFromTheList) {
    test::ZipBuilder zb;
    zb.Add(Encrypted("A.TXT", "secret data", "BBS1995"))
        .Add(Encrypted("B.TXT", "more", "BBS1995", 0x08));  // check byte from the time
    Open(zb);
    z_.Passwords = {"wrong", "BBS1995"};
    z_.Extract();
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("A.TXT"), "secret data");
    EXPECT_EQ(Out("B.TXT"), "more");
}

TEST_F(ZipEventsTest, PasswordAskedUntilItPasses) {
    test::ZipBuilder zb;
    zb.Add(Encrypted("A.TXT", "one", "pw")).Add(Encrypted("B.TXT", "two", "pw"));
    Open(zb);
    int asked = 0;
    z_.OnGetPassword = [&](TZipCommon&, const std::string&, std::string& pw, bool&) {
        pw = ++asked == 1 ? "nope" : "pw";
    };
    z_.Extract();
    EXPECT_EQ(asked, 2);  // the second member uses the password that passed
    EXPECT_EQ(log_.codes, std::vector<int>{ecode::InvalidPassword});
    EXPECT_EQ(z_.Passwords, std::vector<std::string>{"pw"});
    EXPECT_EQ(Out("A.TXT"), "one");
    EXPECT_EQ(Out("B.TXT"), "two");
}

TEST_F(ZipEventsTest, PasswordFailures) {
    test::ZipBuilder zb;
    zb.Add(Encrypted("A.TXT", "one", "pw"));
    Open(zb);
    z_.Extract();  // no handler, nothing in the list
    EXPECT_EQ(log_.lines, (Lines{"Activate", "Begin A.TXT 1", "Error 25170 A.TXT", "Deactivate"}));
    EXPECT_FALSE(std::filesystem::exists(Path("out/A.TXT")));

    int asked = 0;
    z_.OnGetPassword = [&](TZipCommon&, const std::string&, std::string& pw, bool&) {
        ++asked;
        pw = "bad";
    };
    log_.codes.clear();
    z_.Extract();
    EXPECT_EQ(asked, 3);
    EXPECT_EQ(log_.codes, (std::vector<int>{26517, 26517, 26517, 26522}));

    z_.OnGetPassword = [&](TZipCommon&, const std::string&, std::string&, bool& again) {
        ++asked;
        again = false;
    };
    asked = 0;
    log_.codes.clear();
    z_.Extract();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(log_.codes, std::vector<int>{26522});
}

TEST_F(ZipEventsTest, ProgressOfAStoredMember) {
    test::ZipBuilder zb;
    zb.Add(Member("BIG.DAT", std::string(102400, 'x')));
    Open(zb);
    std::vector<int> seen;
    z_.OnProgress = [&](TZipCommon&, const std::string&, std::uint8_t p) { seen.push_back(p); };
    z_.Extract();
    EXPECT_EQ(seen, (std::vector<int>{32, 64, 96, 100}));  // every change, one per 32 KB
}

TEST_F(ZipEventsTest, ProgressOfADeflateMemberInSteps) {
    test::ZipBuilder zb;
    zb.Add(Member("BIG.DAT", std::string(300000, 'x'), 8));
    Open(zb);
    z_.ProgressNotify = TProgressNotify::Twenty;
    std::vector<int> seen;
    z_.OnProgress = [&](TZipCommon&, const std::string&, std::uint8_t p) { seen.push_back(p); };
    z_.Extract();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), 100);
    for (int p : seen) EXPECT_EQ(p % 20, 0) << p;
}

TEST_F(ZipEventsTest, ExactlyOneOutputBuffer) {
    std::string data(32768, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
    test::ZipBuilder zb;
    zb.Add(Member("S.DAT", data)).Add(Member("D.DAT", data, 8));
    Open(zb);
    z_.Extract();
    EXPECT_TRUE(log_.codes.empty());
    EXPECT_EQ(Out("S.DAT"), data);
    EXPECT_EQ(Out("D.DAT"), data);
}

TEST_F(ZipEventsTest, RunPreconditions) {
    TUnZIP z;
    test::EventLog log;
    log.Attach(z);
    z.Extract();
    EXPECT_EQ(log.lines, (Lines{"Error 25140 ", "Deactivate"}));
    test::WriteFile(Path("X.ARJ"), std::string("\x60\xEA", 2) + std::string(40, '\0'));
    z.SetArchiveFile(Path("X.ARJ").string());
    log.lines.clear();
    z.Extract();
    EXPECT_EQ(log.lines, (Lines{"Error 25139 X.ARJ", "Deactivate"}));
}

}  // namespace
}  // namespace lumora::archive
