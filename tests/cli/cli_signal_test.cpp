// A stop signal ends a running lumora-cli scan: the job stops, the private
// temporary folder goes, and the exit status is the conventional one.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "support/builders/zip_builder.h"
#include "support/temp_folder.h"

namespace lumora {
namespace {

namespace fs = std::filesystem;
using archive::test::Member;

TEST(CliSignalTest, StopSignalEndsTheScanAndRemovesTheTempFolder) {
    test::TempFolder archives, temp, config;
    const std::string zip = archive::test::ZipBuilder()
                                .Add(Member("README.TXT", std::string(4000, 'r')))
                                .Add(Member("FILE_ID.DIZ", "desc"))
                                .Build();
    // Enough that the scan is still running when the signal comes.
    for (int i = 0; i < 1500; ++i) archives.Write("A" + std::to_string(i) + ".ZIP", zip);
    // `lumora-cli scan` on the archives with its own TMPDIR.
    std::string binary = LUMORA_BIN_DIR "/lumora-cli", scan = "scan",
                out = "-o" + (archives / "list.txt"), path = archives.path();
    std::string env[] = {"LC_ALL=C", "TZ=UTC", "TMPDIR=" + temp.path(),
                         "XDG_CONFIG_HOME=" + config.path()};
    char* argv[] = {binary.data(), scan.data(), out.data(), path.data(), nullptr};
    char* envp[] = {env[0].data(), env[1].data(), env[2].data(), env[3].data(), nullptr};
    const struct {
        int signal;
        int status;
    } rows[] = {{SIGINT, 130}, {SIGTERM, 143}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.signal);
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            dup2(null, STDERR_FILENO);
            execve(argv[0], argv, envp);
            _exit(127);
        }
        ASSERT_GT(pid, 0);
        // The private temp folder is made once the handler is installed.
        bool started = false;
        for (int i = 0; i < 6000 && !(started = !fs::is_empty(temp.path())); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        kill(pid, r.signal);
        int raw = 0;
        ASSERT_EQ(waitpid(pid, &raw, 0), pid);
        ASSERT_TRUE(started);
        ASSERT_TRUE(WIFEXITED(raw)) << "ended by signal " << WTERMSIG(raw);
        EXPECT_EQ(WEXITSTATUS(raw), r.status);
        EXPECT_TRUE(fs::is_empty(temp.path()));
        EXPECT_FALSE(test::Exists(archives / "list.txt")) << "the job was stopped";
    }
}

}  // namespace
}  // namespace lumora
