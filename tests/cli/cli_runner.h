// Runs lumora-cli as a separate program: C locale, UTC, a private settings
// folder, and standard output and error caught in files of their own.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/temp_folder.h"

namespace lumora::test {

struct RunResult {
    int status = -1;  // exit status, -1 when killed
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    // Runs `lumora-cli <args>` in `cwd` (default: the work folder) with
    // `env` ("NAME='value' ...") added to the environment.
    RunResult Run(const std::string& args) {
        const std::string cmd = "cd '" + (cwd.empty() ? work.path() : cwd) +
                                "' && LC_ALL=C TZ=UTC XDG_CONFIG_HOME='" + config.path() + "' " +
                                env + " timeout " + std::to_string(timeoutSeconds) + " '" + binary +
                                "' " + args + " >'" + (io / "out") + "' 2>'" + (io / "err") + "'";
        RunResult r;
        const int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = ReadAll(io / "out");
        r.err = ReadAll(io / "err");
        return r;
    }
    // Runs a copy in `program`, so that the files beside the program
    // (LM_IDS.DAT, filter.cfg, filter2.cfg) belong to the test.
    void UseProgramCopy() {
        const std::string copy = "cp '" + binary + "' '" + program.path() + "'";
        ASSERT_EQ(std::system(copy.c_str()), 0);
        binary = program / "lumora-cli";
    }

    TempFolder work, config, program, io;
    std::string cwd, env;
    int timeoutSeconds = 120;  // a run still going then is killed (status 124)
    std::string binary = LUMORA_BIN_DIR "/lumora-cli";
};

}  // namespace lumora::test
