// Archives inside executables: the ZIP reader finds them by every way
// (string table, DOS image end, end record); the self-extractor handler
// names the plain archive after the program, refuses other files with their
// messages, and checks a chosen output name (bare names, folders, missing
// folders created or not).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "archive/archive_test_support.h"
#include "archive/formats/sfx/un_sfx.h"
#include "archive/formats/zip/un_zip.h"
#include "support/builders/pe_builder.h"
#include "support/builders/zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

// An MS-DOS program of 96 bytes (its image ending there), then `archive`.
std::string SelfExtractor(const std::string& archive = "") {
    std::string stub(96, '\0');
    stub[0] = 'M', stub[1] = 'Z';
    test::Set16(stub, 2, 96);
    test::Set16(stub, 4, 1);
    return stub + archive;
}

class SfxTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        sfx_.OnMessage = [this](TSfxBox kind, const std::string& text) {
            const char* k = kind == TSfxBox::Warning       ? "Warning: "
                            : kind == TSfxBox::Information ? "Information: "
                                                           : "Question: ";
            boxes_ += (boxes_.empty() ? "" : "|") + (k + text);
            return answer_;
        };
    }
    std::string P(const std::string& rel) const { return Path(rel).string(); }

    TUnSFX sfx_;
    std::string boxes_;  // the messages shown, joined by |
    bool answer_ = false;
};

// The ZIP after a stub is found through the string table (offsets relative
// to the published offset), after the DOS image and by the end record, with
// the stored offsets adjusted to the executable or not.
TEST_F(SfxTest, ZipReaderFindsTheArchiveEveryWay) {
    const std::string bareStub = "MZ" + std::string(98, '\0');  // no image end inside the file
    std::string peStub = test::MakePe({"5000"});
    peStub.resize(5000, '\0');
    const std::tuple<std::string, bool, std::int64_t> cases[] = {
        {peStub, false, 5001},        {peStub, true, 5001},  {SelfExtractor(), true, 97},
        {SelfExtractor(), false, 97}, {bareStub, true, 100},
    };
    for (const auto& [stub, adjusted, start] : cases) {
        SCOPED_TRACE(::testing::Message() << start << (adjusted ? " adjusted" : ""));
        test::ZipBuilder zb;
        zb.stub = stub;
        zb.adjustOffsets = adjusted;
        zb.Add(test::Member("README.TXT", std::string(3000, 'r'), 8))
            .Add(test::Member("FILE_ID.DIZ", "the description"));
        test::WriteFile(Path("A.EXE"), zb.Build());
        TUnZIP z;
        test::EventLog log;
        log.Attach(z);
        z.SetArchiveFile(P("A.EXE"));
        EXPECT_EQ(z.ArcType(), atZipExe);
        EXPECT_EQ(z.ArchiveStart(), start);
        z.SetExtractDir(P("out"));
        z.SetFileSpec("FILE_ID.DIZ");
        z.Extract();
        EXPECT_TRUE(log.codes.empty());
        EXPECT_EQ(test::ReadFile(Path("out/FILE_ID.DIZ")), "the description");
        fs::remove_all(Path("out"));
    }
}

std::string ZipSfx() {
    test::ZipBuilder zb;
    zb.Add(test::Member("FILE_ID.DIZ", "description"));
    return SelfExtractor(zb.Build());
}

// The plain archive takes the program's folder and name with the archive
// type's extension; other types, plain archives, unknown and missing files
// are refused with their message.
TEST_F(SfxTest, TheArchiveIsNamedAfterTheProgram) {
    std::string arj(10, '\0');
    arj[0] = '\x60', arj[1] = '\xEA';
    const std::string lha = std::string("\x20\x00-lh5-", 7) + std::string(20, '\0');
    const std::string unsupported = "Warning: Unsupported or invalid archive type.";
    const std::tuple<const char*, std::optional<std::string>, const char*, std::string> cases[] = {
        {"dl/TOOL.EXE", ZipSfx(), "dl/TOOL.ZIP", ""},
        {"dl.new/TOOL.V2.EXE", ZipSfx(), "dl.new/TOOL.ZIP", ""},
        {"dl/PACK.EXE", SelfExtractor(arj), "dl/PACK.ARJ", ""},
        {"dl/LHA.EXE", SelfExtractor(lha), "", unsupported},
        {"dl/PLAIN.ZIP", ZipSfx().substr(96), "", unsupported},
        {"dl/README.TXT", "just some text", "", "Warning: Invalid Archive."},
        {"dl/MISSING.EXE", std::nullopt, "",
         "Warning: " + P("dl/MISSING.EXE") + "\rFile not found."},
    };
    for (const auto& [file, bytes, out, boxes] : cases) {
        SCOPED_TRACE(file);
        boxes_.clear();
        if (bytes) test::WriteFile(Path(file), *bytes);
        sfx_.SetArchiveFile(P(file));
        EXPECT_EQ(boxes_, boxes);
        EXPECT_EQ(sfx_.OutFilename(), *out ? P(out) : "");
        EXPECT_EQ(sfx_.ArchiveFile(), *out ? P(file) : "");
        if (!*out) {
            EXPECT_EQ(sfx_.ArcType(), atNA);
        }
    }
    EXPECT_EQ(SfxExtension(atPakExe), ".PAK");
    EXPECT_EQ(SfxExtension(atZip250Exe), ".ZIP");
    EXPECT_EQ(SfxExtension(atLzhExe), "");
}

// A chosen name: bare names go to the program's folder, folders restore
// the default, missing folders are made when the user agrees (else the
// current folder is used); without an archive nothing is accepted.
TEST_F(SfxTest, ChosenOutputNames) {
    test::WriteFile(Path("dl/TOOL.EXE"), ZipSfx());
    test::WriteFile(Path("plainfile"), "x");
    fs::create_directories(Path("existing"));
    const std::string cwd = fs::current_path().string() + "/";
    const std::string ask = "Question: Directory NOT found, create?";
    const std::tuple<std::string, bool, std::string, std::string> cases[] = {
        {"OTHER.ZIP", false, P("dl/OTHER.ZIP"), ""},
        {P("existing"), false, P("dl/TOOL.ZIP"),
         "Information: " + P("existing") + " is an existing directory."},
        {P("existing") + "/", false, P("dl/TOOL.ZIP"), ""},
        {P("existing/NEW.ZIP"), false, P("existing/NEW.ZIP"), ""},
        {P("made/deep/NEW.ZIP"), true, P("made/deep/NEW.ZIP"), ask},
        {P("notmade/NEW.ZIP"), false, cwd + "NEW.ZIP", ask},
        {P("plainfile/sub/NEW.ZIP"), true, cwd + "NEW.ZIP",
         ask + "|Information: Error creating directory: " + P("plainfile/sub/")},
    };
    for (const auto& [name, answer, out, boxes] : cases) {
        SCOPED_TRACE(name);
        sfx_.SetArchiveFile(P("dl/TOOL.EXE"));
        boxes_.clear();
        answer_ = answer;
        sfx_.SetOutFilename(name);
        EXPECT_EQ(sfx_.OutFilename(), out);
        EXPECT_EQ(boxes_, boxes);
    }
    EXPECT_TRUE(fs::is_directory(Path("made/deep")));
    EXPECT_FALSE(fs::exists(Path("notmade")));

    TUnSFX empty;
    std::string boxes;
    empty.OnMessage = [&](TSfxBox, const std::string& text) {
        boxes += text;
        return false;
    };
    empty.SetOutFilename("NEW.ZIP");
    EXPECT_EQ(empty.OutFilename(), "");
    EXPECT_EQ(boxes, "ArchiveFile must be defined.");
}

}  // namespace
}  // namespace lumora::archive
