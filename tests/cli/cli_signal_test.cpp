// A stop signal ends a running lumora-cli scan: the job stops, the private
// temporary folder goes, and the exit status is the conventional one.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/builders/zip_builder.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

using archive::test::Member;

// The names in `folder`, "." and ".." left out.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (const dirent* e = readdir(d)) {
            const std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    return names;
}

class CliSignalTest : public ::testing::Test {
protected:
    // Enough archives that the scan is still running when the signal comes.
    static constexpr int kArchives = 1500;

    CliSignalTest() {
        const std::string zip = archive::test::ZipBuilder()
                                    .Add(Member("README.TXT", std::string(4000, 'r')))
                                    .Add(Member("FILE_ID.DIZ", "desc"))
                                    .Build();
        for (int i = 0; i < kArchives; ++i) archives.Write("A" + std::to_string(i) + ".ZIP", zip);
    }

    // Starts `lumora-cli scan` on the archives with its own TMPDIR; the pid.
    pid_t StartScan() {
        const std::string binary = LUMORA_BIN_DIR "/lumora-cli";
        const std::string list = archives / "list.txt";
        std::vector<std::string> env = {"LC_ALL=C", "TZ=UTC", "TMPDIR=" + temp.path(),
                                        "XDG_CONFIG_HOME=" + config.path()};
        const pid_t pid = fork();
        if (pid == 0) {
            std::vector<char*> envp;
            for (auto& e : env) envp.push_back(e.data());
            envp.push_back(nullptr);
            std::string path = archives.path();
            std::string out = "-o" + list;
            char* argv[] = {const_cast<char*>(binary.c_str()), const_cast<char*>("scan"),
                            out.data(), path.data(), nullptr};
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execve(binary.c_str(), argv, envp.data());
            _exit(127);
        }
        return pid;
    }

    // Waits until the program has made its private temp folder (its handler
    // is installed by then); false after 60 s.
    bool WaitForTempFolder() const {
        for (int i = 0; i < 6000; ++i) {
            if (!Entries(temp.path()).empty()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    test::TempFolder archives, temp, config;
};

TEST_F(CliSignalTest, StopSignalEndsTheScanAndRemovesTheTempFolder) {
    const struct {
        int signal;
        int status;
    } rows[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.signal);
        const pid_t pid = StartScan();
        ASSERT_GT(pid, 0);
        const bool started = WaitForTempFolder();
        kill(pid, r.signal);
        int raw = 0;
        ASSERT_EQ(waitpid(pid, &raw, 0), pid);
        ASSERT_TRUE(started);
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
        EXPECT_EQ(WEXITSTATUS(raw), r.status);
        EXPECT_TRUE(Entries(temp.path()).empty()) << Entries(temp.path()).front();
        EXPECT_FALSE(test::Exists(archives / "list.txt")) << "the job was stopped";
    }
}

}  // namespace
}  // namespace lumora
