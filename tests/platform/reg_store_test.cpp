#include "platform/reg_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/temp_folder.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;
using test::TempFolder;

const std::string kHeader = std::string("REGEDIT4\r\n\r\n[") + kRegKeyPath + "]\r\n";

struct ParseCase {
    const char* label;
    std::string text;
    std::optional<std::uint32_t> dword;
    std::optional<std::string> str;
};

// Value lines under the program's key: both value types, any line end,
// escapes, blanks, raw high bytes; malformed values and values outside the
// key are not read.
TEST(RegStoreParse, ValueLines) {
    const std::string key(kRegKeyPath);
    const std::string lf = "REGEDIT4\n\n[" + key + "]\n\"V\"=dword:00000001\n";
    const std::string cr = "REGEDIT4\r\r[" + key + "]\r\"V\"=dword:00000002\r";
    const std::string lower =
        "REGEDIT4\r\n[hkey_local_machine\\SOFTWARE\\kestrel rodoridodari\\LUMORA]\r\n\"V\"=\"k\"";
    const ParseCase cases[] = {
        {"dword", kHeader + "\"V\"=dword:0000003c\r\n", 60u, {}},
        {"upper hex", kHeader + "\"V\"=DWORD:FFFFFFFB\r\n", 0xFFFFFFFBu, {}},
        {"LF ends", lf, 1u, {}},
        {"CR ends", cr, 2u, {}},
        {"no final end", kHeader + "\"V\"=\"x\"", {}, "x"},
        {"key case", lower, {}, "k"},
        {"escapes", kHeader + R"("V"="a\\b\"c\rd")" + "\r\n", {}, "a\\b\"c\rd"},
        {"unknown escape kept", kHeader + R"("V"="C:\x")" + "\r\n", {}, "C:\\x"},
        {"blanks around", kHeader + "  \"V\" = \"t\"  \r\n", {}, "t"},
        {"raw high bytes", kHeader + "\"V\"=\"\xC9\xCD\xBB\"\r\n", {}, "\xC9\xCD\xBB"},
        {"later line wins", kHeader + "\"V\"=dword:00000001\r\n\"v\"=\"s\"\r\n", {}, "s"},
        {"short dword", kHeader + "\"V\"=dword:3c\r\n", {}, {}},
        {"long dword", kHeader + "\"V\"=dword:0000003c0\r\n", {}, {}},
        {"open string", kHeader + "\"V\"=\"abc\r\n", {}, {}},
        {"escaped close", kHeader + "\"V\"=\"abc\\\"\r\n", {}, {}},
        {"junk after", kHeader + "\"V\"=\"a\" b\r\n", {}, {}},
        {"other type", kHeader + "\"V\"=hex:01,02\r\n", {}, {}},
        {"no section", "REGEDIT4\r\n\"V\"=dword:00000001\r\n", {}, {}},
        {"other section", kHeader + "[HKEY_CURRENT_USER\\X]\r\n\"V\"=dword:00000001\r\n", {}, {}},
    };
    for (const ParseCase& c : cases) {
        RegStore store;
        store.ParseText(c.text);
        EXPECT_EQ(store.ReadDword("V"), c.dword) << c.label;
        EXPECT_EQ(store.ReadString("V"), c.str) << c.label;
    }
}

// A store cut off anywhere yields only complete values, never a truncated
// one, and loses no value whose line ended before the cut.
TEST(RegStoreParse, EveryCutKeepsWholeValuesOnly) {
    RegStore full;
    full.WriteDword("Width", 0x3c);
    full.WriteString("Font1Name", "Courier \"New\"");
    full.WriteDword("Lines", 0x12345678);
    const std::string text = full.FormatText();
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        RegStore part;
        part.ParseText(text.substr(0, cut));
        for (const char* name : {"Width", "Lines"}) {
            if (part.Exists(name)) {
                EXPECT_EQ(part.ReadDword(name), full.ReadDword(name)) << cut;
            }
        }
        if (part.Exists("Font1Name")) {
            EXPECT_EQ(part.ReadString("Font1Name"), full.ReadString("Font1Name")) << cut;
        }
        // A value whose line ended before the cut is never lost.
        const std::string upTo = text.substr(0, cut);
        EXPECT_EQ(part.Exists("Width"), upTo.find("dword:0000003c") != std::string::npos) << cut;
    }
}

// The file text byte for byte: header, lower-case hex, escaped strings, CR LF.
TEST(RegStoreFormat, ExactBytes) {
    RegStore store;
    store.WriteDword("Width", 60);
    store.WriteString("Path", "C:\\\"x\"");
    store.WriteDword("Neg", static_cast<std::uint32_t>(-5));
    EXPECT_EQ(store.FormatText(), kHeader +
                                      "\"Width\"=dword:0000003c\r\n"
                                      "\"Path\"=\"C:\\\\\\\"x\\\"\"\r\n"
                                      "\"Neg\"=dword:fffffffb\r\n");
}

// Names ignore case: a write replaces the entry in place under the new
// spelling and may change its type.
TEST(RegStoreValues, NamesIgnoreCaseAndKeepOneEntry) {
    RegStore store;
    store.WriteDword("ShortName", 0);
    store.WriteDword("Width", 1);
    store.WriteDword("Shortname", 1);
    EXPECT_TRUE(store.Exists("SHORTNAME"));
    EXPECT_EQ(store.ReadDword("shortname"), 1u);
    const std::string text = store.FormatText();
    EXPECT_NE(text.find("\"Shortname\"=dword:00000001\r\n\"Width\""), std::string::npos) << text;
    EXPECT_EQ(text.find("ShortName"), std::string::npos);

    store.WriteString("Width", "wide");
    EXPECT_EQ(store.ReadDword("Width"), std::nullopt);
    EXPECT_EQ(store.ReadString("Width"), "wide");
    EXPECT_EQ(store.ReadString("Shortname"), std::nullopt);
}

// Every byte value, the empty string and the largest dword survive a save.
TEST(RegStoreFile, EveryByteSurvivesSaveAndLoad) {
    TempFolder dir;
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    RegStore store;
    store.WriteString("All", all);
    store.WriteString("Empty", "");
    store.WriteDword("Max", 0xFFFFFFFFu);
    std::string error;
    ASSERT_TRUE(store.SaveFile(dir / "s.reg", &error)) << error;

    RegStore back;
    ASSERT_TRUE(back.LoadFile(dir / "s.reg"));
    EXPECT_EQ(back.ReadString("All"), all);
    EXPECT_EQ(back.ReadString("Empty"), "");
    EXPECT_EQ(back.ReadDword("Max"), 0xFFFFFFFFu);
}

// A missing store loads as empty; an unreadable one fails; both drop what
// was loaded before.
TEST(RegStoreFile, MissingIsEmptyUnreadableIsFalse) {
    TempFolder dir;
    RegStore store;
    store.WriteDword("Stale", 1);
    EXPECT_TRUE(store.LoadFile(dir / "none.reg"));
    EXPECT_TRUE(store.empty());

    store.WriteDword("Stale", 1);
    fs::create_directory(dir / "folder.reg");
    EXPECT_FALSE(store.LoadFile(dir / "folder.reg"));
    EXPECT_TRUE(store.empty());
}

// Missing folders are created private (0700); a second save replaces the
// file and leaves no temporary file; a symbolic link keeps pointing at the
// saved file; a folder that cannot be created fails with the system's reason.
TEST(RegStoreFile, SaveCreatesFoldersReplacesAndFollowsLinks) {
    TempFolder dir;
    const std::string path = dir / "a/b/Lumora.reg";
    RegStore store;
    store.WriteDword("Width", 60);
    std::string error;
    ASSERT_TRUE(store.SaveFile(path, &error)) << error;
    for (const char* folder : {"a", "a/b"}) {
        struct stat st {};
        ASSERT_EQ(::stat((dir / folder).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
    store.WriteDword("Width", 61);
    ASSERT_TRUE(store.SaveFile(path, &error)) << error;
    EXPECT_EQ(ReadAll(path), store.FormatText());
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "a/b"), fs::directory_iterator()), 1);

    fs::create_symlink(path, dir / "link.reg");
    store.WriteDword("Width", 7);
    ASSERT_TRUE(store.SaveFile(dir / "link.reg"));
    EXPECT_TRUE(fs::is_symlink(dir / "link.reg"));
    EXPECT_EQ(ReadAll(path), store.FormatText());

    dir.Write("plain", "x");
    EXPECT_FALSE(store.SaveFile(dir / "plain/sub/Lumora.reg", &error));
    EXPECT_NE(error.find("Not a directory"), std::string::npos) << error;
    EXPECT_EQ(ReadAll(dir / "plain"), "x");
}

}  // namespace
}  // namespace lumora
