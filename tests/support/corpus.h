// The shared corpus of real archives (LUMORA_CORPUS_DIR). A test that reads
// it starts with LUMORA_REQUIRE_CORPUS(): it is skipped when the corpus is
// absent, and its suite or test name must hold "Corpus", which gives it the
// ctest label corpus (tests/CMakeLists.txt).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lumora::test {

inline std::filesystem::path CorpusDir() {
    return LUMORA_CORPUS_DIR;
}

// The rows of the corpus manifest (MANIFEST.tsv, then PENDING.tsv when it
// exists: rows of archives the manifest has yet to take in), each file's
// header line left out. A pending row must pass like any other.
inline std::vector<std::string> CorpusManifestLines() {
    std::vector<std::string> lines;
    for (const char* file : {"MANIFEST.tsv", "PENDING.tsv"}) {
        std::ifstream in(CorpusDir() / file);
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line)) {
            if (!line.empty()) lines.push_back(line);
        }
    }
    return lines;
}

// True when the running test's full name holds "Corpus".
inline bool NamedAsCorpusTest() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (info == nullptr) return false;
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    return name.find("Corpus") != std::string::npos;
}

}  // namespace lumora::test

#define LUMORA_REQUIRE_CORPUS()                                                           \
    do {                                                                                  \
        if (!::lumora::test::NamedAsCorpusTest())                                         \
            ADD_FAILURE() << "a test that reads the corpus needs \"Corpus\" in its name"; \
        if (!std::filesystem::exists(::lumora::test::CorpusDir() / "MANIFEST.tsv"))       \
            GTEST_SKIP() << "archive corpus not found at " LUMORA_CORPUS_DIR;             \
    } while (0)
