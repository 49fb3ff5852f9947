#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/reg_store.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;

const std::string kHeader = std::string("REGEDIT4\r\n\r\n[") + kRegKeyPath + "]\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A private folder per test: the store under config/, LM_IDS.DAT in prog/.
class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string templ = (fs::temp_directory_path() / "settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(templ.data()), nullptr);
        root_ = templ;
        fs::create_directory(root_ + "/prog");
        where_.storePath = root_ + "/config/Kestrel Rodoridodari/Lumora.reg";
        where_.programDir = root_ + "/prog/";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(root_, ec);
    }
    void WriteStore(const std::string& lines) {
        fs::create_directories(fs::path(where_.storePath).parent_path());
        WriteAll(where_.storePath, kHeader + lines);
    }
    std::string IdsPath() const { return where_.programDir + kInfoFileListName; }
    Configuration Load() {
        Configuration config;
        LoadSettings(config, where_);
        FillSeparatorLine(config);
        return config;
    }

    std::string root_;
    SettingsLocation where_;
};

AppSettings NonDefaults() {
    AppSettings s;
    s.Resume = true;
    s.OEM = true;
    s.Divide = false;
    s.RemoveEmpty = false;
    s.ShortName = false;
    s.Remove = true;
    s.RemoveChar = true;
    s.RemoveLine = true;
    s.UseFilter = true;
    s.Size = true;
    s.Tip = false;
    s.SourceDir = false;
    s.DivisionChar = "\xCD";
    s.DivisionCharHex = "0CD";
    s.DivisionCharInt = "205";
    s.Font1Name = "Courier \"New\" \\ \xC4";
    s.Align = 0;
    s.Design = 4;
    s.Font1Size = 11;
    s.Width = 45;
    s.Width2 = 140;
    s.Space1 = 2;
    s.Space2 = 3;
    s.Space3 = 10;
    s.Lines = 10000;
    s.Browser = -7;
    s.Mode = 1;
    return s;
}

TEST_F(SettingsTest, EmptyStoreGivesTheTableDefaults) {
    WriteStore("");
    const Configuration config = Load();
    const AppSettings& s = config.settings;
    EXPECT_EQ(s, AppSettings::Defaults());
    EXPECT_TRUE(s.Divide && s.RemoveEmpty && s.ShortName && s.Tip && s.SourceDir);
    EXPECT_FALSE(s.Resume || s.OEM || s.Remove || s.RemoveChar || s.RemoveLine || s.UseFilter ||
                 s.Size);
    EXPECT_EQ(s.DivisionChar, " ");
    EXPECT_EQ(s.DivisionCharHex, "020");
    EXPECT_EQ(s.DivisionCharInt, "32");
    EXPECT_EQ(s.Font1Name, "System");
    EXPECT_EQ(s.Width, 60);
    EXPECT_EQ((std::vector{s.Align, s.Design, s.Font1Size, s.Width2, s.Space1, s.Space2, s.Space3,
                           s.Lines, s.Browser, s.Mode}),
              (std::vector{1, 1, 8, 80, 1, 1, 1, 200, 0, 0}));
    EXPECT_EQ(SeparatorText(config), std::string(80, ' '));
}

TEST_F(SettingsTest, WronglyTypedValuesReadAsDefaults) {
    WriteStore(
        "\"Width\"=\"40\"\r\n"
        "\"Divide\"=\"0\"\r\n"
        "\"Font1Name\"=dword:00000001\r\n"
        "\"Space2\"=dword:00000004\r\n");
    const AppSettings s = Load().settings;
    EXPECT_EQ(s.Width, 60);
    EXPECT_TRUE(s.Divide);
    EXPECT_EQ(s.Font1Name, "System");
    EXPECT_EQ(s.Space2, 4);
}

TEST_F(SettingsTest, ValuesAreFoundWhateverTheCase) {
    WriteStore(
        "\"Shortname\"=dword:00000000\r\n"
        "\"WIDTH\"=dword:0000000a\r\n"
        "\"tip\"=dword:00000002\r\n");
    const AppSettings s = Load().settings;
    EXPECT_FALSE(s.ShortName);
    EXPECT_EQ(s.Width, 10);
    EXPECT_TRUE(s.Tip);
}

TEST_F(SettingsTest, SeparatorLineFollowsDivisionCharAndWidth2) {
    WriteStore("\"DivisionChar\"=\"*\"\r\n\"Width2\"=dword:0000008c\r\n");
    Configuration config = Load();
    EXPECT_EQ(SeparatorText(config), std::string(140, '*'));
    config.settings.Width2 = 5;
    EXPECT_EQ(SeparatorText(config), "*****");
    config.settings.Width2 = 500;
    EXPECT_EQ(SeparatorText(config), std::string(140, '*'));
    config.settings.Width2 = -1;
    EXPECT_EQ(SeparatorText(config), "");

    config.settings.DivisionChar.clear();  // an empty character leaves the line
    FillSeparatorLine(config);
    EXPECT_EQ(config.SeparatorLine, std::string(140, '*'));
}

TEST_F(SettingsTest, EveryValueSurvivesSaveAndLoad) {
    Configuration config;
    config.settings = NonDefaults();
    std::string error;
    ASSERT_TRUE(SaveSettings(config, where_, nullptr, &error)) << error;
    EXPECT_EQ(Load().settings, NonDefaults());
}

TEST_F(SettingsTest, SaveWritesTheFixedOrderAndShortnameSpelling) {
    WriteStore("\"ShortName\"=dword:00000000\r\n\"Custom\"=\"kept\"\r\n");
    Configuration config;
    ASSERT_TRUE(SaveSettings(config, where_));
    RegStore store;
    ASSERT_TRUE(store.LoadFile(where_.storePath));
    EXPECT_EQ(store.ReadString("Custom"), "kept");

    std::vector<std::string> names;
    std::istringstream lines(ReadAll(where_.storePath));
    for (std::string line; std::getline(lines, line);) {
        if (line.size() > 1 && line[0] == '"')
            names.push_back(line.substr(1, line.find('"', 1) - 1));
    }
    const std::vector<std::string> expected = {
        "Resume",       "OEM",          "Divide",          "Shortname",
        "RemoveEmpty",  "Tip",          "SourceDir",       "Remove",
        "RemoveChar",   "RemoveLine",   "UseFilter",       "Size",
        "IsConfigured", "DivisionChar", "DivisionCharHex", "DivisionCharInt",
        "Font1Name",    "Align",        "Design",          "Font1Size",
        "Width",        "Width2",       "Space1",          "Space2",
        "Space3",       "Lines",        "Browser",         "Mode",
        "Custom"};
    EXPECT_EQ(names, expected);
}

TEST_F(SettingsTest, SaveTrimsOnlyTheTwoCodeFields) {
    Configuration config;
    config.settings.DivisionChar = " ";
    config.settings.DivisionCharHex = " \t020\r\n";
    config.settings.DivisionCharInt = std::string("\x01 32 \0", 6);
    ASSERT_TRUE(SaveSettings(config, where_));
    RegStore store;
    ASSERT_TRUE(store.LoadFile(where_.storePath));
    EXPECT_EQ(store.ReadString("DivisionChar"), " ");
    EXPECT_EQ(store.ReadString("DivisionCharHex"), "020");
    EXPECT_EQ(store.ReadString("DivisionCharInt"), "32");
}

TEST_F(SettingsTest, LoadedIntegersAreClampedToTheDialogRanges) {
    struct Case {
        const char* name;
        std::int32_t stored;
        int AppSettings::*field;
        int expected;
    };
    const Case cases[] = {
        {"Width", -5, &AppSettings::Width, 1},
        {"Width", 61, &AppSettings::Width, 60},
        {"Width", 0, &AppSettings::Width, 1},
        {"Width", 37, &AppSettings::Width, 37},
        {"Space1", 100000, &AppSettings::Space1, 10},
        {"Space2", 0, &AppSettings::Space2, 1},
        {"Space3", -1, &AppSettings::Space3, 1},
        {"Width2", 0, &AppSettings::Width2, 1},
        {"Width2", 141, &AppSettings::Width2, 140},
        {"Lines", 0, &AppSettings::Lines, 1},
        {"Lines", 20000, &AppSettings::Lines, 10000},
        {"Align", 5, &AppSettings::Align, 1},
        {"Align", 0, &AppSettings::Align, 0},
        {"Mode", 7, &AppSettings::Mode, 7},
        {"Mode", 1, &AppSettings::Mode, 1},
        {"Design", 9, &AppSettings::Design, 9},
        {"Font1Size", 0, &AppSettings::Font1Size, 8},
        {"Font1Size", -3, &AppSettings::Font1Size, 8},
        {"Font1Size", 72, &AppSettings::Font1Size, 72},
        {"Browser", -9, &AppSettings::Browser, -9},
    };
    for (const Case& c : cases) {
        char line[64];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", c.name,
                      static_cast<unsigned>(c.stored));
        WriteStore(line);
        EXPECT_EQ(Load().settings.*c.field, c.expected) << c.name << " " << c.stored;
    }
}

TEST_F(SettingsTest, StoreCutOffMidwayKeepsWhatCameBefore) {
    Configuration config;
    config.settings = NonDefaults();
    ASSERT_TRUE(SaveSettings(config, where_));
    const std::string full = ReadAll(where_.storePath);
    const std::size_t cut = full.find("\"Width\"=dword:") + 10;
    WriteAll(where_.storePath, full.substr(0, cut));

    const AppSettings s = Load().settings;
    const AppSettings d = AppSettings::Defaults();
    EXPECT_TRUE(s.Resume);
    EXPECT_EQ(s.Font1Name, NonDefaults().Font1Name);
    EXPECT_EQ(s.Font1Size, 11);
    EXPECT_EQ(s.Width, d.Width);
    EXPECT_EQ(s.Width2, d.Width2);
    EXPECT_EQ(s.Mode, d.Mode);
}

TEST_F(SettingsTest, UnreadableStoreGivesDefaultsAndStillLoadsInfoFiles) {
    fs::create_directories(where_.storePath);  // a folder where the file belongs
    WriteAll(IdsPath(), "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    Configuration config;
    config.settings = NonDefaults();
    LoadSettings(config, where_);
    FillSeparatorLine(config);
    EXPECT_EQ(config.settings, AppSettings::Defaults());
    EXPECT_EQ(SeparatorText(config), std::string(80, ' '));
    EXPECT_EQ(config.InfoFileList, (std::vector<std::string>{"FILE_ID.DIZ", "DESC.SDI"}));
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
}

TEST_F(SettingsTest, InfoFileListFile) {
    const std::vector<std::string> names = {"FILE_ID.DIZ", "DESC.SDI", "read me.1st"};
    Configuration config;
    ASSERT_TRUE(SaveSettings(config, where_, &names));
    EXPECT_EQ(ReadAll(IdsPath()), "FILE_ID.DIZ\r\nDESC.SDI\r\nread me.1st\r\n");
    EXPECT_EQ(Load().InfoFileList, names);

    // Any line end is read; empty lines are dropped, the rest taken as is.
    WriteAll(IdsPath(), "a.diz\n\r\n b \rc\r\n\r\n");
    EXPECT_EQ(Load().InfoFileList, (std::vector<std::string>{"a.diz", " b ", "c"}));

    // Without the file the list stays as it was; a save without the
    // dialog's list leaves the file alone.
    fs::remove(IdsPath());
    config.InfoFileList = {"KEEP"};
    LoadSettings(config, where_);
    EXPECT_EQ(config.InfoFileList, (std::vector<std::string>{"KEEP"}));
    ASSERT_TRUE(SaveSettings(config, where_));
    EXPECT_FALSE(fs::exists(IdsPath()));
}

TEST_F(SettingsTest, FirstRunUntilASaveHappened) {
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
    WriteStore("\"Width\"=dword:00000001\r\n");
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
    ASSERT_TRUE(SaveSettings(Configuration{}, where_));
    EXPECT_FALSE(NeedsFirstRunSetup(where_));
}

TEST_F(SettingsTest, SaveIntoUnusableFolderFails) {
    WriteAll(root_ + "/file", "x");
    SettingsLocation bad = where_;
    bad.storePath = root_ + "/file/Kestrel Rodoridodari/Lumora.reg";
    std::string error;
    EXPECT_FALSE(SaveSettings(Configuration{}, bad, nullptr, &error));
    EXPECT_FALSE(error.empty());

    const std::vector<std::string> names = {"FILE_ID.DIZ"};
    bad = where_;
    bad.programDir = root_ + "/file/";
    error.clear();
    EXPECT_FALSE(SaveSettings(Configuration{}, bad, &names, &error));
    EXPECT_NE(error.find(kInfoFileListName), std::string::npos) << error;
}

// The file size limit makes the write fail even for root; the old store and
// LM_IDS.DAT must stay as they were.
TEST_F(SettingsTest, FailedSaveLeavesOldFilesIntact) {
    WriteStore("\"Width\"=dword:0000000a\r\n");
    WriteAll(IdsPath(), "OLD.DIZ\r\n");
    const std::string oldStore = ReadAll(where_.storePath);
    Configuration config;
    config.settings.Font1Name = std::string(4096, 'x');
    const std::vector<std::string> names(400, "FILE_ID.DIZ");

    for (const bool storeFits : {false, true}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            if (storeFits) config.settings.Font1Name = "x";
            const rlimit limit{2048, 2048};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            std::string error;
            const bool saved = SaveSettings(config, where_, &names, &error);
            ::_exit(!saved && !error.empty() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << storeFits;
        if (!storeFits) {
            EXPECT_EQ(ReadAll(where_.storePath), oldStore);
        }
        EXPECT_EQ(ReadAll(IdsPath()), "OLD.DIZ\r\n") << storeFits;
    }
}

}  // namespace
}  // namespace lumora
