#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <tuple>

#include "platform/reg_store.h"
#include "settings/app_settings.h"
#include "settings/settings_store.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using test::ReadAll;

const std::string kHeader = std::string("REGEDIT4\r\n\r\n[") + kRegKeyPath + "]\r\n";

// A private folder per test: the store under config/, LM_IDS.DAT in prog/.
class SettingsTest : public ::testing::Test {
protected:
    SettingsTest() {
        where_.storePath = root_ + "config/Kestrel Rodoridodari/Lumora.reg";
        where_.programDir = dir_.MakeDir("prog");
    }
    void WriteStore(const std::string& lines) { WriteAll(where_.storePath, kHeader + lines); }
    void WriteAll(const std::string& path, const std::string& bytes) {
        dir_.Write(path.substr(root_.size()), bytes);
    }
    std::string IdsPath() const { return where_.programDir + kInfoFileListName; }
    Configuration Load() {
        Configuration config;
        LoadSettings(config, where_);
        FillSeparatorLine(config);
        return config;
    }

    test::TempFolder dir_;
    const std::string root_ = dir_.path();
    SettingsLocation where_;
};

// Every value away from the table defaults.
AppSettings NonDefaults() {
    AppSettings s = AppSettings::Defaults();
    for (bool* b : {&s.Resume, &s.OEM, &s.Divide, &s.RemoveEmpty, &s.ShortName, &s.Remove,
                    &s.RemoveChar, &s.RemoveLine, &s.UseFilter, &s.Size, &s.Tip, &s.SourceDir}) {
        *b = !*b;
    }
    std::tie(s.DivisionChar, s.DivisionCharHex, s.DivisionCharInt, s.Font1Name) =
        std::tuple{"\xCD", "0CD", "205", "Courier \"New\" \\ \xC4"};
    std::tie(s.Align, s.Design, s.Font1Size, s.Width, s.Width2, s.Space1, s.Space2, s.Space3,
             s.Lines, s.Browser, s.Mode) = std::tuple{0, 4, 11, 45, 140, 2, 3, 10, 10000, -7, 1};
    return s;
}
const AppSettings kNonDefaults = NonDefaults();

// An empty store reads as the table defaults (not the in-memory starting
// values), and so do values of the wrong type; names are found whatever
// their case and any non-zero dword is true.
TEST_F(SettingsTest, EmptyStoreAndWronglyTypedValuesGiveTheTableDefaults) {
    WriteStore("");
    const Configuration config = Load();
    const AppSettings& s = config.settings;
    EXPECT_EQ(s, AppSettings::Defaults());
    EXPECT_TRUE(s.Divide && s.RemoveEmpty && s.ShortName && s.Tip && s.SourceDir);
    EXPECT_FALSE(s.Resume || s.OEM || s.Remove || s.RemoveChar || s.RemoveLine || s.UseFilter ||
                 s.Size);
    EXPECT_EQ(s.DivisionChar + s.DivisionCharHex + s.DivisionCharInt + s.Font1Name, " 02032System");
    EXPECT_EQ((std::vector{s.Align, s.Design, s.Font1Size, s.Width, s.Width2, s.Space1, s.Space2,
                           s.Space3, s.Lines, s.Browser, s.Mode}),
              (std::vector{1, 1, 8, 60, 80, 1, 1, 1, 200, 0, 0}));
    EXPECT_EQ(SeparatorText(config), std::string(80, ' '));

    WriteStore(
        "\"Width\"=\"40\"\r\n\"Divide\"=\"0\"\r\n\"Font1Name\"=dword:00000001\r\n"
        "\"SPACE2\"=dword:00000004\r\n\"Shortname\"=dword:00000000\r\n\"tip\"=dword:00000002\r\n");
    const AppSettings t = Load().settings;
    EXPECT_EQ(t.Width, 60);
    EXPECT_TRUE(t.Divide);
    EXPECT_EQ(t.Font1Name, "System");
    EXPECT_EQ(t.Space2, 4);
    EXPECT_FALSE(t.ShortName);
    EXPECT_TRUE(t.Tip);
}

// The separator repeats DivisionChar Width2 times, at most 140; an empty
// DivisionChar leaves the line as it was.
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
    config.settings.DivisionChar.clear();
    FillSeparatorLine(config);
    EXPECT_EQ(config.SeparatorLine, std::string(140, '*'));
}

// Every value survives a save and load; the save writes the names in their
// fixed order with the "Shortname" spelling, keeps unknown values, and
// trims blanks and controls from the two code fields only. The first-run
// setup is needed until a save has marked the store.
TEST_F(SettingsTest, SaveAndLoad) {
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
    Configuration config;
    config.settings = kNonDefaults;
    std::string error;
    ASSERT_TRUE(SaveSettings(config, where_, nullptr, &error)) << error;
    EXPECT_EQ(Load().settings, kNonDefaults);
    EXPECT_FALSE(NeedsFirstRunSetup(where_));

    WriteStore("\"ShortName\"=dword:00000000\r\n\"Custom\"=\"kept\"\r\n");
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
    config.settings = AppSettings::Defaults();
    config.settings.DivisionChar = " ";
    config.settings.DivisionCharHex = " \t020\r\n";
    config.settings.DivisionCharInt = std::string("\x01 32 \0", 6);
    ASSERT_TRUE(SaveSettings(config, where_));
    RegStore store;
    ASSERT_TRUE(store.LoadFile(where_.storePath));
    EXPECT_EQ(store.ReadString("Custom"), "kept");
    EXPECT_EQ(store.ReadString("DivisionChar"), " ");
    EXPECT_EQ(store.ReadString("DivisionCharHex"), "020");
    EXPECT_EQ(store.ReadString("DivisionCharInt"), "32");

    std::string names;
    std::istringstream lines(ReadAll(where_.storePath));
    for (std::string line; std::getline(lines, line);) {
        if (line[0] == '"') names += line.substr(1, line.find('"', 1) - 1) + ' ';
    }
    EXPECT_EQ(
        names,
        "Resume OEM Divide Shortname RemoveEmpty Tip SourceDir Remove RemoveChar RemoveLine "
        "UseFilter Size IsConfigured DivisionChar DivisionCharHex DivisionCharInt Font1Name "
        "Align Design Font1Size Width Width2 Space1 Space2 Space3 Lines Browser Mode Custom ");
}

// Loaded integers are brought into the dialog's ranges; Design, Mode and
// Browser are taken as they are.
TEST_F(SettingsTest, LoadedIntegersAreClampedToTheDialogRanges) {
    const std::map<std::string, int AppSettings::*> fields = {
        {"Width", &AppSettings::Width},    {"Width2", &AppSettings::Width2},
        {"Space1", &AppSettings::Space1},  {"Space2", &AppSettings::Space2},
        {"Space3", &AppSettings::Space3},  {"Lines", &AppSettings::Lines},
        {"Align", &AppSettings::Align},    {"Mode", &AppSettings::Mode},
        {"Design", &AppSettings::Design},  {"Font1Size", &AppSettings::Font1Size},
        {"Browser", &AppSettings::Browser}};
    struct Case {
        const char* name;
        std::int32_t stored;
        int expected;
    };
    const Case cases[] = {{"Width", -5, 1},        {"Width", 61, 60},     {"Width", 37, 37},
                          {"Space1", 100000, 10},  {"Space2", 0, 1},      {"Space3", -1, 1},
                          {"Width2", 0, 1},        {"Width2", 141, 140},  {"Lines", 0, 1},
                          {"Lines", 20000, 10000}, {"Align", 5, 1},       {"Align", 0, 0},
                          {"Mode", 7, 7},          {"Design", 9, 9},      {"Font1Size", 0, 8},
                          {"Font1Size", -3, 8},    {"Font1Size", 72, 72}, {"Browser", -9, -9}};
    for (const Case& c : cases) {
        char line[64];
        std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", c.name,
                      static_cast<unsigned>(c.stored));
        WriteStore(line);
        EXPECT_EQ(Load().settings.*fields.at(c.name), c.expected) << c.name << " " << c.stored;
    }
}

// An unreadable store (a folder in its place) gives the defaults, replacing
// what was loaded, and LM_IDS.DAT is still read.
TEST_F(SettingsTest, UnreadableStoreGivesDefaultsAndStillLoadsInfoFiles) {
    fs::create_directories(where_.storePath);
    WriteAll(IdsPath(), "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    Configuration config;
    config.settings = kNonDefaults;
    LoadSettings(config, where_);
    FillSeparatorLine(config);
    EXPECT_EQ(config.settings, AppSettings::Defaults());
    EXPECT_EQ(SeparatorText(config), std::string(80, ' '));
    EXPECT_EQ(config.InfoFileList, (std::vector<std::string>{"FILE_ID.DIZ", "DESC.SDI"}));
    EXPECT_TRUE(NeedsFirstRunSetup(where_));
}

// LM_IDS.DAT is written with CR LF and read with any line end, empty lines
// dropped; without the file the list stays, and a save without the
// dialog's list leaves the file alone.
TEST_F(SettingsTest, InfoFileListFile) {
    const std::vector<std::string> names = {"FILE_ID.DIZ", "DESC.SDI", "read me.1st"};
    Configuration config;
    ASSERT_TRUE(SaveSettings(config, where_, &names));
    EXPECT_EQ(ReadAll(IdsPath()), "FILE_ID.DIZ\r\nDESC.SDI\r\nread me.1st\r\n");
    EXPECT_EQ(Load().InfoFileList, names);

    WriteAll(IdsPath(), "a.diz\n\r\n b \rc\r\n\r\n");
    EXPECT_EQ(Load().InfoFileList, (std::vector<std::string>{"a.diz", " b ", "c"}));

    fs::remove(IdsPath());
    config.InfoFileList = {"KEEP"};
    LoadSettings(config, where_);
    EXPECT_EQ(config.InfoFileList, (std::vector<std::string>{"KEEP"}));
    ASSERT_TRUE(SaveSettings(config, where_));
    EXPECT_FALSE(fs::exists(IdsPath()));
}

// A program folder that cannot take LM_IDS.DAT fails the save, naming it.
TEST_F(SettingsTest, SaveIntoUnusableFolderFails) {
    WriteAll(root_ + "file", "x");
    SettingsLocation bad = where_;
    bad.programDir = root_ + "file/";
    const std::vector<std::string> names = {"FILE_ID.DIZ"};
    std::string error;
    EXPECT_FALSE(SaveSettings(Configuration{}, bad, &names, &error));
    EXPECT_NE(error.find(kInfoFileListName), std::string::npos) << error;
}

// A save that fails half-way (the file size limit binds root too) leaves the
// old store and LM_IDS.DAT as they were and no temporary file; a store that
// fits is written even when LM_IDS.DAT then fails.
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
        for (const std::string& folder :
             {where_.programDir, root_ + "config/Kestrel Rodoridodari"}) {
            EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
                << folder;
        }
    }
}

}  // namespace
}  // namespace lumora
