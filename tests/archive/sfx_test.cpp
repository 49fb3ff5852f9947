// The self-extractor handler: the plain archive's name from the program's
// name and type, refusals with their messages, and the checks of a chosen
// output name (bare names, folders, missing folders created or not).
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/un_sfx.h"
#include "archive_test_support.h"
#include "pe_builder.h"
#include "zip_builder.h"

namespace lumora::archive {
namespace {

namespace fs = std::filesystem;

// An MS-DOS program of 96 bytes with `archive` after its image.
std::string SelfExtractor(const std::string& archive) {
    std::string stub(96, '\0');
    stub[0] = 'M', stub[1] = 'Z';
    test::Set16(stub, 2, 96);
    test::Set16(stub, 4, 1);
    return stub + archive;
}

std::string ZipSfx() {
    test::ZipBuilder zb;
    zb.Add(test::Member("FILE_ID.DIZ", "description"));
    return SelfExtractor(zb.Build());
}

class SfxTest : public test::TempDirTest {
protected:
    void SetUp() override {
        test::TempDirTest::SetUp();
        sfx_.OnMessage = [this](TSfxBox kind, const std::string& text) {
            const char* k = kind == TSfxBox::Warning       ? "Warning: "
                            : kind == TSfxBox::Information ? "Information: "
                                                           : "Question: ";
            boxes_.push_back(k + text);
            return answer_;
        };
    }
    std::string P(const std::string& rel) const { return Path(rel).string(); }

    TUnSFX sfx_;
    std::vector<std::string> boxes_;
    bool answer_ = false;
};

TEST_F(SfxTest, TheArchiveIsNamedAfterTheProgram) {
    std::string arj(10, '\0');
    arj[0] = '\x60', arj[1] = '\xEA';
    const std::string lha = std::string("\x20\x00-lh5-", 7) + std::string(20, '\0');
    struct Case {
        const char* file;
        std::string bytes;
        std::string out;  // empty: refused
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"dl/TOOL.EXE", ZipSfx(), "dl/TOOL.ZIP", {}},
        {"dl.new/TOOL.V2.EXE", ZipSfx(), "dl.new/TOOL.ZIP", {}},
        {"dl/PACK.EXE", SelfExtractor(arj), "dl/PACK.ARJ", {}},
        {"dl/LHA.EXE", SelfExtractor(lha), "", {"Warning: Unsupported or invalid archive type."}},
        {"dl/PLAIN.ZIP",
         ZipSfx().substr(96),
         "",
         {"Warning: Unsupported or invalid archive type."}},
        {"dl/README.TXT", "just some text", "", {"Warning: Invalid Archive."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        boxes_.clear();
        test::WriteFile(Path(c.file), c.bytes);
        sfx_.SetArchiveFile(P(c.file));
        EXPECT_EQ(boxes_, c.boxes);
        if (c.out.empty()) {
            EXPECT_EQ(sfx_.OutFilename(), "");
            EXPECT_EQ(sfx_.ArchiveFile(), "");
            EXPECT_EQ(sfx_.ArcType(), atNA);
        } else {
            EXPECT_EQ(sfx_.OutFilename(), P(c.out));
            EXPECT_EQ(sfx_.ArchiveFile(), P(c.file));
        }
    }
    boxes_.clear();
    sfx_.SetArchiveFile(P("dl/MISSING.EXE"));
    EXPECT_EQ(boxes_,
              std::vector<std::string>{"Warning: " + P("dl/MISSING.EXE") + "\rFile not found."});
    EXPECT_EQ(sfx_.OutFilename(), "");
    EXPECT_EQ(SfxExtension(atPakExe), ".PAK");
    EXPECT_EQ(SfxExtension(atZip250Exe), ".ZIP");
    EXPECT_EQ(SfxExtension(atLzhExe), "");
}

TEST_F(SfxTest, ChosenOutputNames) {
    test::WriteFile(Path("dl/TOOL.EXE"), ZipSfx());
    test::WriteFile(Path("plainfile"), "x");
    fs::create_directories(Path("existing"));
    const std::string cwd = fs::current_path().string() + "/";
    struct Case {
        const char* what;
        std::string name;
        bool answer;
        std::string out;
        std::vector<std::string> boxes;
    };
    const Case cases[] = {
        {"bare name: the program's folder", "OTHER.ZIP", false, P("dl/OTHER.ZIP"), {}},
        {"existing folder restores the default",
         P("existing"),
         false,
         P("dl/TOOL.ZIP"),
         {"Information: " + P("existing") + " is an existing directory."}},
        {"no file part restores the default", P("existing") + "/", false, P("dl/TOOL.ZIP"), {}},
        {"existing folder part", P("existing/NEW.ZIP"), false, P("existing/NEW.ZIP"), {}},
        {"missing folder, created",
         P("made/deep/NEW.ZIP"),
         true,
         P("made/deep/NEW.ZIP"),
         {"Question: Directory NOT found, create?"}},
        {"missing folder, not created",
         P("notmade/NEW.ZIP"),
         false,
         cwd + "NEW.ZIP",
         {"Question: Directory NOT found, create?"}},
        {"missing folder that cannot be made",
         P("plainfile/sub/NEW.ZIP"),
         true,
         cwd + "NEW.ZIP",
         {"Question: Directory NOT found, create?",
          "Information: Error creating directory: " + P("plainfile/sub/")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        sfx_.SetArchiveFile(P("dl/TOOL.EXE"));
        boxes_.clear();
        answer_ = c.answer;
        sfx_.SetOutFilename(c.name);
        EXPECT_EQ(sfx_.OutFilename(), c.out);
        EXPECT_EQ(boxes_, c.boxes);
    }
    EXPECT_TRUE(fs::is_directory(Path("made/deep")));
    EXPECT_FALSE(fs::exists(Path("notmade")));

    TUnSFX empty;
    std::vector<std::string> boxes;
    empty.OnMessage = [&](TSfxBox, const std::string& text) {
        boxes.push_back(text);
        return false;
    };
    empty.SetOutFilename("NEW.ZIP");
    EXPECT_EQ(empty.OutFilename(), "");
    EXPECT_EQ(boxes, std::vector<std::string>{"ArchiveFile must be defined."});
}

}  // namespace
}  // namespace lumora::archive
