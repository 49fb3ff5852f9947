#include "scan/app_session.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_store.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using test::Exists;
using test::TempFolder;

// Sets environment variables for one test and restores them afterwards.
class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<std::pair<const char*, std::string>> vars) {
        for (const auto& [name, value] : vars) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            setenv(name, value.c_str(), 1);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                setenv(name, value->c_str(), 1);
            } else {
                unsetenv(name);
            }
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::vector<std::pair<const char*, std::optional<std::string>>> saved_;
};

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// A home of its own per test: config, data and temp folders, and a program
// folder beside which the executable lies.
class AppSessionTest : public ::testing::Test {
protected:
    AppSessionTest()
        : env_({{"XDG_CONFIG_HOME", home / "config"},
                {"XDG_DATA_HOME", home / "data"},
                {"TMPDIR", home.MakeDir("tmp")}}) {}

    SessionOptions InBin() const {
        SessionOptions o;
        o.executablePath = home.MakeDir("bin") + "lumora-cli";
        return o;
    }

    TempFolder home;

private:
    ScopedEnv env_;
};

// Where the folders come from: beside a writable executable, ProgramDir is
// its folder and LM_IDS.DAT is read there; otherwise it is the data folder's
// Lumora/, made private. The settings folder follows XDG_CONFIG_HOME, and
// without a store every option has its default.
TEST_F(AppSessionTest, FoldersAndDefaultsOfAFreshHome) {
    home.Write("bin/LM_IDS.DAT", "FILE_ID.DIZ\r\nDESC.SDI\r\n");
    const struct {
        std::string exe, programDir;
        std::vector<std::string> infoFiles;
    } rows[] = {
        {home / "bin/lumora-cli", home / "bin/", {"FILE_ID.DIZ", "DESC.SDI"}},
        {home / "missing/lumora-cli", home / "data/Lumora/", {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.exe);
        SessionOptions o;
        o.executablePath = r.exe;
        const AppSession s = StartSession(o);
        EXPECT_EQ(s.dirs.programDir, r.programDir);
        EXPECT_EQ(s.dirs.windowsDir, home / "config/Kestrel Rodoridodari/");
        EXPECT_EQ(s.config.settings, AppSettings::Defaults());
        EXPECT_EQ(s.config.InfoFileList, r.infoFiles);
        EXPECT_EQ(s.config.SeparatorLine, std::string(kSeparatorLineLength, ' '));
    }
    EXPECT_EQ(ModeOf(home / "data/Lumora"), 0700u);
}

// An installed program (prefix/bin with prefix/share/lumora) works in the
// data folder's Lumora/, seeded from share/lumora with the help folder; a
// second start keeps what the user changed and brings back what was deleted.
TEST_F(AppSessionTest, InstalledProgramSeedsItsDataFolderOnce) {
    home.Write("usr/share/lumora/LM_IDS.DAT", "FILE_ID.DIZ\r\n");
    home.Write("usr/share/lumora/tips.dat", "tip\r\n");
    home.Write("usr/share/lumora/help/lumora.html", "<html></html>");
    SessionOptions o;
    o.executablePath = home.MakeDir("usr/bin") + "lumora";
    EXPECT_EQ(StartSession(o).dirs.programDir, home / "data/Lumora/");
    EXPECT_TRUE(Exists(home / "data/Lumora/tips.dat"));
    EXPECT_TRUE(Exists(home / "data/Lumora/help/lumora.html"));

    home.Write("data/Lumora/LM_IDS.DAT", "DESC.SDI\r\n");
    ASSERT_EQ(::remove((home / "data/Lumora/help/lumora.html").c_str()), 0);
    const AppSession again = StartSession(o);
    EXPECT_EQ(again.config.InfoFileList, std::vector<std::string>{"DESC.SDI"});
    EXPECT_TRUE(Exists(home / "data/Lumora/help/lumora.html"));
}

// The private temp folder lies in TMPDIR with mode 0700, lives as long as
// the session (also after a move) and goes with it; when it cannot be made
// the session says so.
TEST_F(AppSessionTest, TempDirIsPrivateAndGoesWithTheSession) {
    std::string temp;
    {
        AppSession first = StartSession(InBin());
        ASSERT_TRUE(first.HasTempDir());
        temp = first.dirs.tempDir;
        EXPECT_EQ(temp.rfind(home / "tmp/lumora-", 0), 0u) << temp;
        EXPECT_EQ(temp.back(), '/');
        EXPECT_EQ(ModeOf(temp), 0700u);
        home.Write(temp.substr(home.path().size()) + "sub/file", "x");
        const AppSession moved = std::move(first);
        EXPECT_TRUE(Exists(temp + "sub/file"));
    }
    EXPECT_FALSE(Exists(temp));

    ScopedEnv noTemp({{"TMPDIR", home / "no/such/folder"}});
    const AppSession s = StartSession(InBin());
    EXPECT_FALSE(s.HasTempDir());
    EXPECT_EQ(s.dirs.tempDir, "");
}

// The store under XDG_CONFIG_HOME is read and SeparatorLine filled from it
// after loading; a store that cannot be read (a folder in its place) gives
// the defaults, and LM_IDS.DAT is read either way.
TEST_F(AppSessionTest, StoredSettingsAndAnUnreadableStore) {
    home.Write("bin/LM_IDS.DAT", "INFO.TXT\r\n");
    const std::string store = home / "config/Kestrel Rodoridodari/Lumora.reg";
    {
        Configuration saved;
        saved.settings = AppSettings::Defaults();
        saved.settings.Width = 33;
        saved.settings.DivisionChar = "=";
        home.MakeDir("config/Kestrel Rodoridodari");
        ASSERT_TRUE(SaveSettings(saved, {store, home / "bin/"}));
    }
    const AppSession stored = StartSession(InBin());
    EXPECT_EQ(stored.config.settings.Width, 33);
    EXPECT_EQ(stored.config.SeparatorLine, std::string(kSeparatorLineLength, '='));
    EXPECT_EQ(stored.config.InfoFileList, std::vector<std::string>{"INFO.TXT"});

    ASSERT_EQ(::unlink(store.c_str()), 0);
    home.MakeDir("config/Kestrel Rodoridodari/Lumora.reg");
    const AppSession unreadable = StartSession(InBin());
    EXPECT_EQ(unreadable.config.settings, AppSettings::Defaults());
    EXPECT_EQ(unreadable.config.InfoFileList, std::vector<std::string>{"INFO.TXT"});
}

// The filter definitions come from ProgramDir: an invalid filter.cfg is
// shown through the handler and deleted, filter2.cfg fills the line filter.
// Without loadFilters neither file is touched.
TEST_F(AppSessionTest, FilterDefinitionsLoadedOnlyWhenAsked) {
    for (const bool load : {true, false}) {
        SCOPED_TRACE(load);
        const std::string filter = home.Write("bin/filter.cfg", "0000\r\n");
        home.Write("bin/filter2.cfg", "cracked by\r\nwww.\r\n");
        std::vector<std::string> shown;
        SessionOptions o = InBin();
        o.loadFilters = load;
        o.showError = [&shown](const std::string& caption, const std::string& text) {
            shown.push_back(caption + "|" + text);
        };
        const AppSession s = StartSession(o);
        EXPECT_EQ(Exists(filter), !load);
        using Lines = std::vector<std::string>;
        const Lines message = {std::string(kInvalidFilterCaption) + "|" + kInvalidFilterText};
        EXPECT_EQ(shown, load ? message : Lines{});
        const Lines lines = {"cracked by", "www."};
        EXPECT_EQ(s.config.LineFilterList, load ? lines : Lines{});
    }
}

}  // namespace
}  // namespace lumora
