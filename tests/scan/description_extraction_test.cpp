// Description extraction per archive: the lister's names, the InfoFileList
// order, the readers and the RAR library, and what happens when any of them
// fails.
#include "scan/description_extraction.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <tuple>

#include "archive/core/error_codes.h"
#include "archive/core/un_base.h"
#include "archive/formats/arj/arj_header.h"
#include "archive/formats/rar/unrar_api.h"
#include "archive/lister/zip_tv.h"
#include "archive/lister_test_support.h"
#include "platform/text.h"
#include "scan/recording_host.h"
#include "support/builders/arj_builder.h"
#include "support/builders/lha_builder.h"
#include "support/builders/tar_builder.h"
#include "support/builders/zip_builder.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using archive::test::Member;
using archive::test::RarArchive;
using archive::test::ZipBuilder;
using test::Exists;
using test::ReadAll;
using test::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::vector<std::string> kNames = {"FILE_ID.DIZ", "DESC.SDI"};

std::size_t OpenDescriptors() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator("/proc/self/fd")) ++n;
    return n;
}

class DescriptionExtractionTest : public ::testing::Test {
protected:
    DescriptionExtractionTest() : source(Hooks()) {}

    ExtractionHooks Hooks() {
        ExtractionHooks h;
        h.showException = [this](const std::string& text) { exceptions.push_back(text); };
        return h;
    }
    std::string Zip(const std::string& name, ZipBuilder b) { return dir.Write(name, b.Build()); }
    ExtractionOutcome Extract(const std::string& archive) {
        return source.ExtractDescription(archive, kNames, dest / "a/");
    }

    TempFolder dir;
    TempFolder dest;
    std::vector<std::string> exceptions;
    DescriptionExtraction source;
};

// Counts the listings started.
class CountingLister : public archive::TZipTV {
public:
    explicit CountingLister(int& count) : count_(count) {}
    bool Activate() override {
        ++count_;
        return TZipTV::Activate();
    }

private:
    int& count_;
};

// What is chosen and extracted: the InfoFileList order wins over the member
// order, a lower-case member is written under its stored name, and only the
// chosen member is extracted, by the ZIP reader and the RAR library alike. A
// description only in a folder is found by name but not extracted (readers
// match the whole stored name), without an error. Self-extractors and HA
// archives are not listed at all.
TEST_F(DescriptionExtractionTest, ChoosesByListOrderAndExtractsOnlyThatMember) {
    ZipBuilder sfx;
    sfx.stub = "MZ" + std::string(100, '\0');
    sfx.Add(Member("FILE_ID.DIZ", "sfx"));
    const struct {
        std::string archive, member;
        std::optional<std::string> bytes;  // none: nothing extracted
        bool listed;
    } rows[] = {
        {Zip("T.ZIP", ZipBuilder()
                          .Add(Member("DESC.SDI", "sdi"))
                          .Add(Member("README.TXT", "readme"))
                          .Add(Member("FILE_ID.DIZ", "diz"))),
         "FILE_ID.DIZ", "diz", true},
        {Zip("L.ZIP", ZipBuilder().Add(Member("file_id.diz", "lower"))), "file_id.diz", "lower",
         true},
        {dir.Write("R.RAR",
                   RarArchive({{"README.TXT", "readme"}, {"FILE_ID.DIZ", "Best RAR\r\n"}})),
         "FILE_ID.DIZ", "Best RAR\r\n", true},
        {Zip("DOC.ZIP",
             ZipBuilder().Add(Member("README.TXT", "r")).Add(Member("DOC/FILE_ID.DIZ", "d"))),
         "FILE_ID.DIZ", std::nullopt, true},
        {dir.Write("DOC.RAR", RarArchive({{"README.TXT", "r"}, {"DOC\\FILE_ID.DIZ", "d"}})),
         "FILE_ID.DIZ", std::nullopt, true},
        {Zip("SFX.EXE", sfx), "", std::nullopt, false},
        {dir.Write("H.HA", archive::test::HaArchive({{"", "FILE_ID.DIZ", "ha", ""},
                                                     {"", "X", std::string(30, 'x'), ""}})),
         "", std::nullopt, false},
    };
    int listings = 0;
    source.makeLister = [&listings] { return std::make_unique<CountingLister>(listings); };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        TempFolder out;
        const int before = listings;
        const ExtractionOutcome o = source.ExtractDescription(r.archive, kNames, out / "a/");
        EXPECT_EQ(o.memberName, r.member);
        EXPECT_FALSE(o.listerFailed);
        EXPECT_EQ(listings > before, r.listed);
        EXPECT_EQ(o.description, r.bytes);
        EXPECT_TRUE(fs::is_empty(out.path())) << "no file and no folder is left behind";
    }
}

// Members that a reader also decodes for the chosen name: only those stored
// under exactly that name count, and of two such the later one wins.
TEST_F(DescriptionExtractionTest, OnlyTheChosenStoredNameFillsTheDescription) {
    const struct {
        std::string archive;
        ZipBuilder zip;
        std::string expected;
    } rows[] = {
        {"CASE.ZIP",
         ZipBuilder().Add(Member("FILE_ID.DIZ", "upper")).Add(Member("file_id.diz", "lower")),
         "upper"},
        {"TWICE.ZIP",
         ZipBuilder().Add(Member("FILE_ID.DIZ", "first")).Add(Member("FILE_ID.DIZ", "second")),
         "second"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        const ExtractionOutcome o = Extract(Zip(r.archive, r.zip));
        EXPECT_EQ(o.memberName, "FILE_ID.DIZ");
        EXPECT_EQ(o.description, r.expected);
    }
}

// A truncated archive's listing error is reported, and not again for the
// next archive.
TEST_F(DescriptionExtractionTest, ListingErrorDoesNotCarryOverToTheNextArchive) {
    const std::string whole = ZipBuilder().Add(Member("FILE_ID.DIZ", "x")).Build();
    const auto cut = dir.Write("CUT.ZIP", whole.substr(0, whole.size() - 30));
    const ExtractionOutcome failed = Extract(cut);
    EXPECT_TRUE(failed.listerFailed);
    EXPECT_EQ(failed.listerMessage, "Header ID Fehler");
    const ExtractionOutcome next = Extract(dir.Write("TEXT.ZIP", "plain text, no archive"));
    EXPECT_FALSE(next.listerFailed);
    EXPECT_EQ(next.listerMessage, "");
}

// An archive the job opened already gives what it gives read by its path
// (found, damaged, no archive, ZIP, ARJ and LZH), and the
// extraction lets go of that opening when it is done.
TEST_F(DescriptionExtractionTest, AnOpenedArchiveGivesWhatItsPathGives) {
    archive::test::TestMember badCrc = Member("FILE_ID.DIZ", "damaged");
    badCrc.crc = 0x12345678;
    const std::string archives[] = {
        Zip("OK.ZIP", ZipBuilder().Add(Member("A.TXT", "a")).Add(Member("FILE_ID.DIZ", "zip"))),
        Zip("CRC.ZIP", ZipBuilder().Add(badCrc)),
        dir.Write("TEXT.ZIP", "plain text, no archive"),
        dir.Write("OK.ARJ", archive::test::ArjArchive({archive::test::ArjEntry("DESC.SDI", "a")})),
        dir.Write("OK.LZH", archive::test::LhaArchive({{"FILE_ID.DIZ", "lzh"}})),
    };
    for (const std::string& path : archives) {
        SCOPED_TRACE(path);
        const ExtractionOutcome byPath = Extract(path);
        const std::size_t before = OpenDescriptors();
        archive::InputFile open;
        ASSERT_TRUE(open.Open(path));
        const ExtractionOutcome byOpening =
            source.ExtractOpenDescription(path, open, kNames, dest / "a/");
        const auto fields = [](const ExtractionOutcome& o) {
            return std::tie(o.memberName, o.description, o.listerFailed, o.listerMessage,
                            o.listerCode);
        };
        EXPECT_EQ(fields(byOpening), fields(byPath));
        // No handle is left behind: closing this one closes the file.
        EXPECT_TRUE(open.Close());
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

// A description whose extraction failed (bad CRC, wrong password, the RAR
// library's error, or stored RAR data that the library does not check but
// the header's CRC does) is removed and its error shown instead.
TEST_F(DescriptionExtractionTest, DamagedDescriptionIsDeletedAndReported) {
    archive::test::TestMember badCrc = Member("FILE_ID.DIZ", "damaged");
    badCrc.crc = 0x12345678;
    archive::test::TestMember locked = Member("FILE_ID.DIZ", "secret");
    locked.password = "pw";
    std::string badRar = RarArchive({{"FILE_ID.DIZ", "0123456789"}});
    badRar[badRar.find("0123456789")] = 'X';
    const auto failingLibrary = [](const std::string&, const std::string& member,
                                   const std::string& d) {
        std::ofstream(d + member) << "half";
        return archive::unrar::RarExtractResult{true, archive::unrar::ERAR_BAD_DATA};
    };
    const std::string crcError = Utf8ToAnsi("Fehler bei der CRC Überprüfung");
    const struct {
        std::string archive;
        std::string message;
        bool failingRarLibrary;
    } rows[] = {
        {Zip("CRC.ZIP", ZipBuilder().Add(badCrc)), crcError, false},
        {Zip("PW.ZIP", ZipBuilder().Add(locked)), "Passwort fehlgeschlagen", false},
        {dir.Write("F.RAR", RarArchive({{"FILE_ID.DIZ", "text"}})), crcError, true},
        {dir.Write("BAD.RAR", badRar), crcError, false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        source.extractRar = nullptr;
        if (r.failingRarLibrary) source.extractRar = failingLibrary;
        const ExtractionOutcome o = Extract(r.archive);
        EXPECT_TRUE(o.listerFailed);
        EXPECT_EQ(o.listerMessage, r.message);
        EXPECT_FALSE(o.description);
        EXPECT_FALSE(Exists(dest / "a"));
    }
}

// A reader that starts the member, writes part of it and then fails.
class FailingReader : public archive::TUnBase {
public:
    explicit FailingReader(std::function<void()> fail) : fail_(std::move(fail)) {}

protected:
    void ExtractMembers() override {
        MakeOutputName(FileSpec());
        bool extract = true;
        if (OnBegin) OnBegin(*this, FileName(), 1, extract);
        CreateOutput().Write(reinterpret_cast<const std::uint8_t*>("partial"), 7);
        fail_();
    }

private:
    std::function<void()> fail_;
};

// Whatever a reader throws, or ending without its events, becomes an error
// for this archive and the partial file is removed.
TEST_F(DescriptionExtractionTest, EveryExceptionFromAReaderIsCaught) {
    const auto zip = Zip("E.ZIP", ZipBuilder().Add(Member("FILE_ID.DIZ", "x")));
    const struct {
        std::function<void()> fail;
        std::string message;
    } rows[] = {
        {[] { throw archive::E_RAISE(archive::ecode::ReadError); },
         "Fehler beim Lesen oder unerwartetes EOF()"},
        {[] { throw std::runtime_error("disk on fire"); }, "Ung\xFCltiges oder defektes Archiv"},
        {[] { throw 42; }, "Ung\xFCltiges oder defektes Archiv"},
        {[] {}, "Fehler beim Lesen oder unerwartetes EOF()"},  // no OnEnd at all
    };
    for (const auto& r : rows) {
        source.makeReader = [&r](archive::TArcType) {
            return std::make_unique<FailingReader>(r.fail);
        };
        const ExtractionOutcome o = Extract(zip);
        EXPECT_TRUE(o.listerFailed);
        EXPECT_EQ(o.listerMessage, r.message);
        EXPECT_FALSE(o.description);
        EXPECT_FALSE(Exists(dest / "a"));
    }
}

// What detection found, as a component holds it.
struct Detected {
    std::string file;
    archive::TArcType type = archive::atNA;
    std::int64_t start = 0, sfxOffset = 0;
    std::uint64_t size = 0;
    bool operator==(const Detected&) const = default;
};

Detected DetectedBy(const archive::TZipCommon& c) {
    return {c.ArchiveFile(), c.ArcType(), c.ArchiveStart(), c.SfxOffset(), c.ArchiveSize()};
}

// Counts the archive assignments (each runs detection).
class DetectCountingLister : public archive::TZipTV {
public:
    explicit DetectCountingLister(int& count) : count_(count) {}
    void SetArchiveFile(const std::string& path) override {
        ++count_;
        TZipTV::SetArchiveFile(path);
    }

private:
    int& count_;
};

// Extracts the one member it is asked for, noting what it was told about
// the archive and whether it was assigned the archive itself.
class DetectRecordingReader : public archive::TUnBase {
public:
    DetectRecordingReader(int& assignments, Detected& seen)
        : assignments_(assignments), seen_(seen) {}
    void SetArchiveFile(const std::string& path) override {
        ++assignments_;
        TUnBase::SetArchiveFile(path);
    }

protected:
    void ExtractMembers() override {
        seen_ = DetectedBy(*this);
        MakeOutputName(FileSpec());
        bool extract = true;
        if (OnBegin) OnBegin(*this, FileName(), 1, extract);
        CreateOutput().Write(reinterpret_cast<const std::uint8_t*>("found"), 5);
        if (OnEnd) OnEnd(*this, FileName(), true);
    }

private:
    int& assignments_;
    Detected& seen_;
};

// The type is detected once per archive: the listing and the reader use
// that result, including where the archive's headers begin.
TEST_F(DescriptionExtractionTest, TypeDetectedOncePerArchive) {
    using archive::test::TarArchive;
    using archive::test::TarFile;
    const struct {
        std::string archive;
        archive::TArcType type;
        std::int64_t start;
    } rows[] = {
        {Zip("PLAIN.ZIP", ZipBuilder().Add(Member("FILE_ID.DIZ", "diz"))), archive::atZIP, 1},
        {dir.Write("LABEL.TAR",
                   TarArchive({TarFile("VOLUME", "", 'V'), TarFile("FILE_ID.DIZ", "diz")})),
         archive::atTAR, 513},
    };
    int detections = 0, readerAssignments = 0;
    Detected seen;
    source.makeLister = [&detections] {
        return std::make_unique<DetectCountingLister>(detections);
    };
    source.makeReader = [&](archive::TArcType) {
        return std::make_unique<DetectRecordingReader>(readerAssignments, seen);
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        TempFolder out;
        detections = readerAssignments = 0;
        seen = {};
        const ExtractionOutcome o = source.ExtractDescription(r.archive, kNames, out / "a/");
        EXPECT_EQ(o.memberName, "FILE_ID.DIZ");
        EXPECT_EQ(o.description, "found");
        EXPECT_EQ(detections, 1);
        EXPECT_EQ(readerAssignments, 0);
        archive::TZipTV fresh;
        fresh.SetArchiveFile(r.archive);
        EXPECT_EQ(seen, DetectedBy(fresh));
        EXPECT_EQ(seen.type, r.type);
        EXPECT_EQ(seen.start, r.start);
    }
}

// A lister that reports one member and then throws something that is not
// its own error report.
class ThrowingLister : public archive::TZipTV {
public:
    bool Activate() override {
        SetFileName("DOC\\FILE_ID.DIZ");
        OnRead(*this, 0, 1);
        throw std::runtime_error("listing broke");
    }
};

// The exception is shown and the names collected so far are still searched.
TEST_F(DescriptionExtractionTest, ListingThatEndsWithoutItsEventsDoesNotHang) {
    source.makeLister = [] { return std::make_unique<ThrowingLister>(); };
    const auto zip = Zip("X.ZIP", ZipBuilder().Add(Member("FILE_ID.DIZ", "still here")));
    const ExtractionOutcome o = Extract(zip);
    EXPECT_THAT(exceptions, ElementsAre("listing broke"));
    EXPECT_EQ(o.memberName, "FILE_ID.DIZ");
    EXPECT_EQ(o.description, "still here");
}

// A description larger than 1 MiB is cut there and still counts as found.
TEST_F(DescriptionExtractionTest, OutputStopsAtOneMebibyteAndCountsAsExtracted) {
    const std::string big(3 << 20, ' ');
    const auto zip = Zip("BOMB.ZIP", ZipBuilder().Add(Member("FILE_ID.DIZ", "line\r\n" + big, 8)));
    const ExtractionOutcome o = Extract(zip);
    EXPECT_FALSE(o.listerFailed);
    const std::string got = o.description.value_or("");
    EXPECT_EQ(got.size(), kDescriptionOutputLimit);
    EXPECT_EQ(got.substr(0, 6), "line\r\n");
}

// The first of `lines` that names `archive`, without its trailing blanks.
std::string LineNaming(const std::vector<std::string>& lines, const std::string& archive) {
    for (const auto& line : lines)
        if (line.find(archive) != std::string::npos)
            return line.substr(0, line.find_last_not_of(' ') + 1);
    return "(no line names " + archive + ")";
}

// Scan I with the real extraction: what one archive left behind (or what
// was in the folder before) never counts for another, and each archive's
// folder is removed afterwards.
class DescriptionExtractionJobTest : public test::ScanJobFixture {};

TEST_F(DescriptionExtractionJobTest, NothingLeaksBetweenArchives) {
    const std::string planted = temp.Write("FILE_ID.DIZ", "planted");
    const std::vector<std::string> archives = {
        dir.Write("A.ZIP", ZipBuilder()
                               .Add(Member("FILE_ID.DIZ", "Upper"))
                               .Add(Member("file_id.diz", "lower"))
                               .Build()),
        dir.Write("B.ZIP", ZipBuilder().Add(Member("DOC/FILE_ID.DIZ", "in folder")).Build()),
        dir.Write("C.ZIP", ZipBuilder().Add(Member("README.TXT", "none")).Build()),
    };
    DescriptionExtraction real(HostHooks(host));
    RunJob(archives, &real);
    const std::string list = ReadAll(dir / "list.txt");
    EXPECT_THAT(list, HasSubstr("A.ZIP"));
    EXPECT_EQ(list.find("planted"), std::string::npos);
    const std::size_t b = list.find("B.ZIP"), c = list.find("C.ZIP");
    ASSERT_NE(b, std::string::npos);
    EXPECT_EQ(list.find(kNoDescriptionText, b), list.find("LM :", b));
    EXPECT_NE(list.find(kNoDescriptionText, c), std::string::npos);
    EXPECT_EQ(ReadAll(planted), "planted");
    EXPECT_FALSE(Exists(temp / "a0"));
}

// Each archive's result in its list and log line, through the real listing
// and extraction: a reader that refuses the member the lister found (an
// encrypted ARJ member) fails the entry with its error, as does a damaged
// LHA header before the member (no member named); level-2 LHA headers,
// before or after the description, are read, and a name with a
// Windows-1252 letter (either case) is found.
TEST_F(DescriptionExtractionJobTest, ReaderResultReachesListAndLog) {
    using archive::test::ArjArchive;
    using archive::test::ArjEntry;
    using archive::test::LhaArchive;
    config.InfoFileList = {"FILE_ID.DIZ", "INFO_\xDC.TXT"};
    ArjEntry garbled("FILE_ID.DIZ", "secret");
    garbled.flags = archive::kArjGarbled;
    const struct {
        std::string archive, image;
        std::string member;  // as the log shows it
        std::string text;    // the description, or the error in list and log
        bool ok;
    } rows[] = {
        {"GARBLED.ARJ", ArjArchive({ArjEntry("README.TXT", "r"), garbled}), "FILE_ID.DIZ",
         "Passwortgesch\xFCtzte Datei", false},
        {"LEVEL4.LZH", LhaArchive({{"README.TXT", "r"}, {"FILE_ID.DIZ", "level 4", "-lh0-", 4}}),
         "", "Ung\xFCltiger File-Header", false},
        {"LEVEL2.LZH", LhaArchive({{"README.TXT", "r"}, {"FILE_ID.DIZ", "level 2", "-lh0-", 2}}),
         "FILE_ID.DIZ", "level 2", true},
        {"LATER2.LZH", LhaArchive({{"FILE_ID.DIZ", "before"}, {"X.TXT", "x", "-lh0-", 2}}),
         "FILE_ID.DIZ", "before", true},
        {"PLAIN.ARJ", ArjArchive({ArjEntry("FILE_ID.DIZ", "plain arj")}), "FILE_ID.DIZ",
         "plain arj", true},
        {"UMLAUT.ZIP", ZipBuilder().Add(Member("INFO_\xDC.TXT", "upper umlaut")).Build(),
         "INFO_\xDC.TXT", "upper umlaut", true},
        {"LOWER.ZIP", ZipBuilder().Add(Member("info_\xFC.txt", "lower umlaut")).Build(),
         "info_\xFC.txt", "lower umlaut", true},
    };
    std::vector<std::string> archives;
    for (const auto& r : rows) archives.push_back(dir.Write(r.archive, r.image));
    DescriptionExtraction real(HostHooks(host));
    RunJob(archives, &real);
    const std::vector<std::string> list = ListLines();
    std::vector<std::string> logLines;
    for (const auto& [text, kind] : host.log)
        logLines.push_back(text + (kind == LogKind::Success ? " [ok]" : " [red]"));
    for (const auto& r : rows) {
        SCOPED_TRACE(r.archive);
        EXPECT_THAT(LineNaming(list, r.archive), ::testing::EndsWith(r.text));
        EXPECT_THAT(LineNaming(logLines, r.archive),
                    ::testing::EndsWith(r.archive + ", " + r.member + "... " +
                                        (r.ok ? "O.K. [ok]" : r.text + " [red]")));
    }
    EXPECT_FALSE(Exists(temp / "a0"));
}

}  // namespace
}  // namespace lumora
